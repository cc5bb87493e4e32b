// <qxm-movie>: plays a hypervideo in the browser. A movie on an HTML video element, its anchors
// read from the anchor object file beside it with the player control's strict rules, the
// anchor under the pointer found with the control's interpolation and hit test, and the
// control's events (OnCursorIn, OnCursorOut, OnActivateAnchor, the playback events) raised as
// DOM CustomEvents whose detail carries the same arguments.
//
// The anchor store (CDefAnchor and the functions around it) needs no browser and is exported
// for the tests and for other tools.

// ---------------------------------------------------------------------------------------------
// Anchor store
// ---------------------------------------------------------------------------------------------

export const ANCHOR_ERR_MEMORY = 2001;
export const ANCHOR_ERR_FORMAT = 2002;

// Longest ID and name a record keeps, in bytes (longer ones from the file are cut).
export const kAnchorIdMaxBytes = 9;
export const kAnchorNameMaxBytes = 39;
// Longest line the reader stores; the characters after it form the next line.
export const kAnchorLineMaxChars = 79;

// Which rule a malformed anchor object file breaks (the names the C++ reader uses).
export const AnchorFormatFault = Object.freeze({
  None: 'None',
  HeaderFields: 'HeaderFields', // a header line with fewer than three ':'
  EmptyId: 'EmptyId', // a header line whose ID is empty
  RangeWithoutDash: 'RangeWithoutDash', // a header line whose frame range has no '-'
  BadRange: 'BadRange', // start frame < 0 or end frame < start frame
  BadCount: 'BadCount', // entry count < 1
  FrameLineFields: 'FrameLineFields', // a frame line not of the form FRAME:LEFT,TOP,RIGHT,BOTTOM
  TooManyFrames: 'TooManyFrames', // more frame lines than the header's count
  FrameOutsideRange: 'FrameOutsideRange', // a frame outside the header's range
  FrameOutOfOrder: 'FrameOutOfOrder', // a frame smaller than the one before it
  Memory: 'Memory', // memory ran out
});

const CR = 0x0d;
const LF = 0x0a;
const COLON = 0x3a;
const COMMA = 0x2c;
const SEMICOLON = 0x3b;
const DASH = 0x2d;
const BRACKET = 0x5b;
const MAX_OBJECT = [0x4d, 0x61, 0x78, 0x4f, 0x62, 0x6a, 0x65, 0x63, 0x74]; // "MaxObject"
const INT32_MAX = 2147483647;
const INT32_MIN = -2147483648;

const utf8 = new TextDecoder('utf-8');

// Two's complement wrap to 32 bits.
const wrap32 = (v) => v | 0;

// Bytes of the UTF-8 sequence a lead byte announces (0 when it is not a lead byte).
function utf8SequenceLength(c) {
  if (c >= 0xc2 && c <= 0xdf) return 2;
  if (c >= 0xe0 && c <= 0xef) return 3;
  if (c >= 0xf0 && c <= 0xf4) return 4;
  return 0;
}

// Length of a complete multibyte character at pos, 0 when none starts there.
function multibyteLength(bytes, pos) {
  const lead = bytes[pos];
  const n = utf8SequenceLength(lead);
  if (n === 0 || pos + n > bytes.length) return 0;
  for (let i = 1; i < n; ++i) if ((bytes[pos + i] & 0xc0) !== 0x80) return 0;
  // Overlong three- and four-byte forms and code points beyond U+10FFFF are not characters.
  const second = bytes[pos + 1];
  if (lead === 0xe0 && second < 0xa0) return 0;
  if (lead === 0xf0 && second < 0x90) return 0;
  if (lead === 0xf4 && second > 0x8f) return 0;
  return n;
}

// The longest prefix of bytes of at most maxBytes bytes that does not split a character.
export function cutAnchorText(bytes, maxBytes) {
  let pos = 0;
  while (pos < bytes.length) {
    const n = multibyteLength(bytes, pos) || 1;
    if (pos + n > maxBytes) break;
    pos += n;
  }
  return bytes.subarray(0, pos);
}

const isSpace = (c) => c === 0x20 || (c >= 0x09 && c <= 0x0d);

// The decimal conversion of the file's numbers: leading white space, an optional sign, then the
// digits up to the first other character; no digits give 0. Values beyond the 32-bit range
// saturate at its limits. Takes bytes or a string.
export function parseAnchorNumber(s) {
  const at = typeof s === 'string' ? (i) => s.charCodeAt(i) : (i) => s[i];
  let i = 0;
  while (i < s.length && isSpace(at(i))) ++i;
  let negative = false;
  if (i < s.length && (at(i) === 0x2b || at(i) === DASH)) {
    negative = at(i) === DASH;
    ++i;
  }
  let value = 0;
  for (; i < s.length && at(i) >= 0x30 && at(i) <= 0x39; ++i) {
    if (value <= INT32_MAX + 1) value = value * 10 + (at(i) - 0x30);
  }
  if (negative) return value > -INT32_MIN ? INT32_MIN : -value || 0;
  return value > INT32_MAX ? INT32_MAX : value;
}

// vb + (vi - vb) * (f - fb) / (fi - fb) in 32-bit integer arithmetic: multiplication first,
// division truncating toward zero, every intermediate wrapped to 32 bits. Needs fb < fi.
export function interpolateAnchorValue(vb, vi, f, fb, fi) {
  const delta = wrap32(vi - vb);
  const step = wrap32(f - fb);
  const span = wrap32(fi - fb);
  const product = Math.imul(delta, step);
  if (span === 0) return vb;
  // INT32_MIN / -1 is the one quotient that does not fit; 32-bit wrap makes it INT32_MIN.
  const quotient = wrap32(Math.trunc(product / span));
  return wrap32(vb + quotient);
}

// trunc(engine position) - origin, wrapped to 32 bits as the control's frame arithmetic is.
export function anchorFrameAt(enginePosition, anchorFrameOrigin) {
  return wrap32(truncToInt32(enginePosition) - anchorFrameOrigin);
}

// A number truncated toward zero into the 32-bit range (saturating; NaN gives 0).
export function truncToInt32(v) {
  if (Number.isNaN(v)) return 0;
  const t = Math.trunc(v);
  if (t <= INT32_MIN) return INT32_MIN;
  if (t >= INT32_MAX) return INT32_MAX;
  return t;
}

// Right and bottom are outside the rectangle.
export function rectContains(rect, x, y) {
  return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

// The record's rectangle at a frame: inside its range, the entry at that frame or the
// rectangle interpolated between the entries around it; null before the first entry or after
// the last. The arithmetic every lookup of the store uses.
export function anchorRectAt(r, frame) {
  if (frame < r.startFrame || frame > r.endFrame) return null;
  const e = r.entries;
  // First entry whose frame is >= frame.
  let lo = 0;
  let hi = e.length;
  while (lo < hi) {
    const mid = (lo + hi) >>> 1;
    if (e[mid].frame < frame) lo = mid + 1;
    else hi = mid;
  }
  if (lo === e.length) return null;
  if (e[lo].frame === frame) return { ...e[lo].rect };
  if (lo === 0) return null;
  const b = e[lo - 1];
  const n = e[lo];
  const lerp = (vb, vi) => interpolateAnchorValue(vb, vi, frame, b.frame, n.frame);
  return {
    left: lerp(b.rect.left, n.rect.left),
    top: lerp(b.rect.top, n.rect.top),
    right: lerp(b.rect.right, n.rect.right),
    bottom: lerp(b.rect.bottom, n.rect.bottom),
  };
}

// Picture pixels per window pixel: sx = image width / window width, sy likewise. Without a
// window both are 1.0; an axis whose image or window size is not positive keeps 1.0.
export function anchorScaleFactors(image, renderer) {
  const axis = (i, w) => (!(i > 0) || !(w > 0) ? 1.0 : i / w);
  if (!renderer) return { sx: 1.0, sy: 1.0 };
  return { sx: axis(image.width, renderer.width), sy: axis(image.height, renderer.height) };
}

// A point of the picture window in picture pixels: (trunc(x * sx), trunc(y * sy)).
export function windowToPicture(x, y, f) {
  return { x: truncToInt32(x * f.sx), y: truncToInt32(y * f.sy) };
}

// A picture rectangle in window pixels: every coordinate divided by its factor, truncated.
export function pictureToWindow(r, f) {
  return {
    left: truncToInt32(r.left / f.sx),
    top: truncToInt32(r.top / f.sy),
    right: truncToInt32(r.right / f.sx),
    bottom: truncToInt32(r.bottom / f.sy),
  };
}

// The anchor object file of a (resolved) movie path: the last extension of the last path
// component removed and ".obj" appended. "/" separates components, so URLs work the same way.
export function anchorFilePath(moviePath) {
  let cut = -1;
  for (let i = 0; i < moviePath.length; ++i) {
    if (moviePath[i] === '/') cut = -1;
    else if (moviePath[i] === '.') cut = i;
  }
  return (cut < 0 ? moviePath : moviePath.slice(0, cut)) + '.obj';
}

// The movie path resolved against the page as the control resolves it: the base is the page's
// address up to its last "/"; a path beginning with two backslashes becomes a file URL, a path
// without ":" is appended to the base (with a "/" put in front when it has none, so "/clip.mp4"
// is taken relative to the page's folder), and a path with ":" (a URL) is left alone. The query
// and fragment of the page's address are not part of the base.
export function resolveMoviePath(path, pageUrl) {
  let page = pageUrl || '';
  page = page.split('#')[0].split('?')[0];
  const slash = page.lastIndexOf('/');
  const base = slash < 0 ? '' : page.slice(0, slash);
  if (base === '') return path;
  if (path.startsWith('\\\\')) return 'file://' + path;
  if (!path.includes(':')) {
    const p = path[0] === '\\' || path[0] === '/' ? path : '/' + path;
    return base + p;
  }
  return path;
}

// Splits bytes into lines: CR dropped, LF ends a line, at most kAnchorLineMaxChars stored per
// line (the following characters start the next line).
class Reader {
  constructor(bytes) {
    this.bytes = bytes;
    this.pos = 0;
    this.fileLine = 1;
    this.pieceLine = 0;
  }

  // The next line as bytes, or null when the input is over.
  next() {
    const line = [];
    this.pieceLine = this.fileLine;
    let any = false;
    for (;;) {
      if (this.pos >= this.bytes.length) return any ? Uint8Array.from(line) : null;
      const c = this.bytes[this.pos++];
      any = true;
      if (c === CR) continue;
      if (c === LF) {
        ++this.fileLine;
        return Uint8Array.from(line);
      }
      line.push(c);
      if (line.length === kAnchorLineMaxChars) return Uint8Array.from(line);
    }
  }

  // The line of the file on which the last line returned by next() began (1-based).
  lineNumber() {
    return this.pieceLine;
  }
}

function isBlank(line) {
  for (const c of line) if (c !== 0x20 && c !== 0x09) return false;
  return true;
}

function startsWithBytes(line, prefix) {
  if (line.length < prefix.length) return false;
  for (let i = 0; i < prefix.length; ++i) if (line[i] !== prefix[i]) return false;
  return true;
}

function indexOfByte(bytes, byte, from = 0) {
  for (let i = from; i < bytes.length; ++i) if (bytes[i] === byte) return i;
  return -1;
}

function indexOfAny(bytes, set, from = 0) {
  for (let i = from; i < bytes.length; ++i) if (set.includes(bytes[i])) return i;
  return -1;
}

const FRAME_SEPARATORS = [COLON, COMMA, SEMICOLON];

// The player control's anchor store: the anchors of one movie, read from its anchor object
// file, with the lookups the control makes while the movie plays.
export class CDefAnchor {
  constructor() {
    this.records = [];
    this.problem = { line: 0, fault: AnchorFormatFault.None, text: '' };
  }

  // Replaces the list with the anchors of the bytes of an anchor object file (Uint8Array,
  // ArrayBuffer or a string, taken as UTF-8). 0, ANCHOR_ERR_FORMAT or ANCHOR_ERR_MEMORY; on
  // failure the list is empty and LastProblem() tells the line and the rule.
  LoadAnchorsFrom(data) {
    this.Clear();
    this.problem = { line: 0, fault: AnchorFormatFault.None, text: '' };
    let bytes;
    if (typeof data === 'string') bytes = new TextEncoder().encode(data);
    else if (data instanceof Uint8Array) bytes = data;
    else bytes = new Uint8Array(data);
    return this.readAll(bytes);
  }

  readAll(bytes) {
    const reader = new Reader(bytes);
    let buffer = null;
    let inSection = false;
    let result = 0;
    try {
      while (result === 0 && (buffer = reader.next()) !== null) {
        // The line is a zero-terminated text: a zero byte ends it.
        const zero = indexOfByte(buffer, 0);
        const line = zero < 0 ? buffer : buffer.subarray(0, zero);
        if (isBlank(line) || startsWithBytes(line, MAX_OBJECT)) continue;
        if (line[0] === BRACKET) {
          result = this.addHeader(line);
          inSection = true;
        } else if (inSection) {
          result = this.addFrame(line);
        }
      }
    } catch (e) {
      if (!(e instanceof RangeError)) throw e;
      result = this.fail(AnchorFormatFault.Memory);
    }
    if (result !== 0) {
      this.Clear();
      this.problem.line = reader.lineNumber();
      const zero = indexOfByte(buffer, 0);
      this.problem.text = utf8.decode(zero < 0 ? buffer : buffer.subarray(0, zero));
    }
    return result;
  }

  fail(fault) {
    this.problem.fault = fault;
    return fault === AnchorFormatFault.Memory ? ANCHOR_ERR_MEMORY : ANCHOR_ERR_FORMAT;
  }

  addHeader(line) {
    const text = line.subarray(1);
    const colons = [];
    for (let pos = 0; colons.length < 4; ) {
      const c = indexOfByte(text, COLON, pos);
      if (c < 0) break;
      colons.push(c);
      pos = c + 1;
    }
    const found = colons.length;
    if (found < 3) return this.fail(AnchorFormatFault.HeaderFields);
    const id = text.subarray(0, colons[0]);
    const name = text.subarray(colons[0] + 1, colons[1]);
    const range = text.subarray(colons[1] + 1, colons[2]);
    const countEnd = found === 4 ? colons[3] : text.length;
    const count = text.subarray(colons[2] + 1, countEnd);
    if (id.length === 0) return this.fail(AnchorFormatFault.EmptyId);
    const dash = indexOfByte(range, DASH);
    if (dash < 0) return this.fail(AnchorFormatFault.RangeWithoutDash);

    const start = parseAnchorNumber(range.subarray(0, dash));
    const end = parseAnchorNumber(range.subarray(dash + 1));
    const capacity = parseAnchorNumber(count);
    if (end < start || start < 0) return this.fail(AnchorFormatFault.BadRange);
    if (capacity < 1) return this.fail(AnchorFormatFault.BadCount);

    this.records.push({
      id: utf8.decode(cutAnchorText(id, kAnchorIdMaxBytes)),
      name: utf8.decode(cutAnchorText(name, kAnchorNameMaxBytes)),
      startFrame: start,
      endFrame: end,
      capacity,
      lastFrame: -1,
      entries: [],
    });
    return 0;
  }

  addFrame(line) {
    const v = [0, 0, 0, 0, 0];
    let pos = 0;
    for (let k = 0; k < 4; ++k) {
      const d = indexOfAny(line, FRAME_SEPARATORS, pos);
      const expected = k === 0 ? COLON : COMMA;
      if (d < 0 || line[d] !== expected) return this.fail(AnchorFormatFault.FrameLineFields);
      v[k] = parseAnchorNumber(line.subarray(pos, d));
      pos = d + 1;
    }
    const last = indexOfAny(line, FRAME_SEPARATORS, pos);
    v[4] = parseAnchorNumber(line.subarray(pos, last < 0 ? line.length : last));

    const r = this.records[this.records.length - 1];
    const frame = v[0];
    if (r.entries.length === r.capacity) return this.fail(AnchorFormatFault.TooManyFrames);
    if (frame < r.startFrame || frame > r.endFrame) {
      return this.fail(AnchorFormatFault.FrameOutsideRange);
    }
    if (frame < r.lastFrame) return this.fail(AnchorFormatFault.FrameOutOfOrder);
    if (frame === r.lastFrame) return 0; // the first rectangle for a frame wins
    r.entries.push({ frame, rect: { left: v[1], top: v[2], right: v[3], bottom: v[4] } });
    r.lastFrame = frame;
    return 0;
  }

  Clear() {
    this.records = [];
  }

  Count() {
    return this.records.length;
  }

  // The ID or name at an index in file order; empty outside 0..Count()-1.
  ID(index) {
    return index >= 0 && index < this.records.length ? this.records[index].id : '';
  }

  Name(index) {
    return index >= 0 && index < this.records.length ? this.records[index].name : '';
  }

  // The first record whose ID equals id, or null.
  Find(id) {
    return this.records.find((r) => r.id === id) ?? null;
  }

  // Start and end frame of a record.
  Range(record) {
    return record ? { start: record.startFrame, end: record.endFrame } : null;
  }

  // The record's rectangle at a frame, interpolated between its entries; with hitTest found
  // only when the point lies inside. null when not found.
  FindAnchorAt(record, frame, point, hitTest) {
    if (!record) return null;
    const rect = anchorRectAt(record, frame);
    if (!rect) return null;
    if (hitTest && !rectContains(rect, point.x, point.y)) return null;
    return rect;
  }

  // The first record in file order whose rectangle at the frame contains the point; records
  // whose ID differs from a non-empty filterId are skipped. null when none qualifies.
  HitTestAnchors(frame, point, filterId = '') {
    for (const r of this.records) {
      if (filterId !== '' && r.id !== filterId) continue;
      if (this.FindAnchorAt(r, frame, point, true)) return r;
    }
    return null;
  }

  // Why the last load returned ANCHOR_ERR_FORMAT or ANCHOR_ERR_MEMORY, and on which line.
  LastProblem() {
    return this.problem;
  }
}

// ---------------------------------------------------------------------------------------------
// The element
// ---------------------------------------------------------------------------------------------

// Engine states as the control reports them.
export const State = Object.freeze({ NotLoaded: -1, Stopped: 0, Paused: 1, Running: 2 });

export const ErrorText = Object.freeze({
  invalidValue: 'Invalid Property Value',
  invalidIndex: 'Invalid Property Array Index',
  anchorRead: 'Anchor Data Read Error',
});

// An error as the control raises it: its code and description.
export class QxmError extends Error {
  constructor(number, description) {
    super(description);
    this.name = 'QxmError';
    this.number = number;
    this.description = description;
  }
}

const CTL_E_INVALIDPROPERTYVALUE = 0x800a017c;
const CTL_E_INVALIDPROPERTYARRAYINDEX = 0x800a017d;
const ANCHOR_READ_ERROR = 0x800a07d2;

// Attributes that reflect boolean properties, with the property's default.
const BOOLEAN_ATTRIBUTES = {
  'auto-play': ['AutoPlay', true],
  'auto-rewind': ['AutoRewind', true],
  'show-controls': ['ShowControls', true],
  'show-anchor': ['ShowAnchor', false],
  'change-cursor': ['ChangeCursor', true],
  'click-sound': ['ClickSound', false],
};
const INTEGER_ATTRIBUTES = {
  'activate-method': ['ActivateMethod', 0],
  'anchor-frame-origin': ['AnchorFrameOrigin', 0],
  'play-count': ['PlayCount', 1],
  'playback-rate': ['PlaybackRate', 0],
};
const STRING_ATTRIBUTES = {
  'movie-file': 'MovieFile',
  'anchor-file': 'AnchorFile',
  'sound-file': 'SoundFile',
  'cursor-file': 'CursorFile',
  'frame-rate': 'FrameRate',
};

// "false", "0", "no" and "off" are false; any other value, the empty one included, is true.
function parseBooleanAttribute(value, fallback) {
  if (value === null) return fallback;
  return !['false', '0', 'no', 'off'].includes(value.trim().toLowerCase());
}

function parseIntegerAttribute(value, fallback) {
  if (value === null) return fallback;
  const n = Number.parseInt(value, 10);
  return Number.isFinite(n) ? n : fallback;
}

// "25", "29.97" or "30000/1001"; 0 when it is no positive rate.
export function parseFrameRate(text) {
  if (text === null || text === undefined) return 0;
  const s = String(text).trim();
  const slash = s.indexOf('/');
  const value = slash < 0 ? Number(s) : Number(s.slice(0, slash)) / Number(s.slice(slash + 1));
  return Number.isFinite(value) && value > 0 ? value : 0;
}

// The frame a presentation time belongs to. framePresentedAt takes the start time of a frame
// as the browser reports it for the frame on screen (rounded to the container's time base, so
// the nearest frame start counts); frameAtTime takes any time within a frame's interval.
export function framePresentedAt(mediaTime, fps) {
  return Math.max(0, Math.round(mediaTime * fps));
}

export function frameAtTime(time, fps) {
  return Math.max(0, Math.floor(time * fps + 1e-6));
}

// The middle of frame n's interval: the time to seek to so that frame n is shown.

export function timeOfFrame(frame, fps) {
  return (frame + 0.5) / fps;
}

const DEFAULT_FRAME_RATE = 25;

const STYLE = `
:host { display: inline-block; position: relative; line-height: 0; }
:host([hidden]) { display: none; }
.picture { position: relative; display: inline-block; }
video { display: block; object-fit: fill; background: #000; }
canvas.frame { position: absolute; left: 0; top: 0; pointer-events: none; }
.anchors { position: absolute; left: 0; top: 0; width: 0; height: 0; }
.anchors [role=button] {
  position: absolute; pointer-events: none; font-size: 0; color: transparent; overflow: hidden;
}
.anchors [role=button]:focus { outline: 2px dashed #ffd400; outline-offset: 1px; }
.panel {
  box-sizing: border-box; display: flex; align-items: center; gap: 6px; padding: 4px 6px;
  background: #d8d8d8;
  font: 12px sans-serif; line-height: normal; color: #000;
}
.panel[hidden] { display: none; }
.panel button { font: inherit; min-width: 3.5em; }
.panel input[type=range] { flex: 1; min-width: 40px; }
.panel output { min-width: 6em; text-align: right; font-variant-numeric: tabular-nums; }
`;

const Base = globalThis.HTMLElement ?? class {};

export class QxmMovie extends Base {
  static get observedAttributes() {
    return [
      ...Object.keys(BOOLEAN_ATTRIBUTES),
      ...Object.keys(INTEGER_ATTRIBUTES),
      ...Object.keys(STRING_ATTRIBUTES),
    ];
  }

  constructor() {
    super();
    this.anchors = new CDefAnchor();
    this.props = {
      AutoPlay: true,
      AutoRewind: true,
      ShowControls: true,
      ShowAnchor: false,
      ChangeCursor: true,
      ClickSound: false,
      ActivateMethod: 0,
      AnchorFrameOrigin: 0,
      PlayCount: 1,
      PlaybackRate: 0,
      MovieFile: '',
      AnchorFile: '',
      SoundFile: '',
      CursorFile: '',
      FrameRate: '',
    };
    this.state = State.NotLoaded;
    this.position = 0; // the frame shown
    this.selected = null; // selected anchor record
    this.enabledId = ''; // enabled anchor ID
    this.underCursor = null; // anchor under the cursor
    this.pointer = null; // last pointer position over the picture, window pixels
    this.lastButtons = 0;
    this.playsDone = 0;
    this.openSerial = 0;
    this.opening = false; // anchors of a new movie are being read
    this.stopping = false;
    this.frameClock = 'none';
    this.anchorButtons = [];
    this.AnchorNum = 0;

    const root = this.attachShadow({ mode: 'open' });
    root.innerHTML = `<style>${STYLE}</style>
      <div class="picture" part="picture">
        <video part="video" playsinline preload="auto"></video>
        <canvas class="frame" part="anchor-frame"></canvas>
        <div class="anchors" part="anchors"></div>
      </div>
      <div class="panel" part="controls">
        <button type="button" class="play" part="play-button">Play</button>
        <button type="button" class="stop" part="stop-button">Stop</button>
        <input type="range" class="tracker" part="tracker" min="0" max="0" step="1" value="0"
               aria-label="Position">
        <output class="counter" part="counter">0 / 0</output>
      </div>`;
    this.video = root.querySelector('video');
    this.canvas = root.querySelector('canvas.frame');
    this.anchorLayer = root.querySelector('.anchors');
    this.panel = root.querySelector('.panel');
    this.playButton = root.querySelector('.play');
    this.tracker = root.querySelector('.tracker');
    this.counter = root.querySelector('.counter');
    this.bindVideo();
    this.bindInput();
    // The panel spans the picture, and the anchors follow the picture when the page scales it.
    if (globalThis.ResizeObserver) {
      new ResizeObserver(() => this.fitToPicture()).observe(this.video);
    }
  }

  fitToPicture() {
    const width = this.video.getBoundingClientRect().width;
    if (width > 0) this.panel.style.width = `${width}px`;
    this.refreshAnchors();
  }

  // ---- properties -----------------------------------------------------------------------

  get AutoPlay() { return this.props.AutoPlay; }
  set AutoPlay(v) { this.props.AutoPlay = !!v; }
  get AutoRewind() { return this.props.AutoRewind; }
  set AutoRewind(v) { this.props.AutoRewind = !!v; }
  get ShowControls() { return this.props.ShowControls; }
  set ShowControls(v) {
    this.props.ShowControls = !!v;
    this.panel.hidden = !this.props.ShowControls;
  }
  get ShowAnchor() { return this.props.ShowAnchor; }
  set ShowAnchor(v) {
    this.props.ShowAnchor = !!v;
    this.drawFrame();
  }
  get ChangeCursor() { return this.props.ChangeCursor; }
  set ChangeCursor(v) {
    this.props.ChangeCursor = !!v;
    if (!this.props.ChangeCursor) this.video.style.cursor = '';
  }
  get ClickSound() { return this.props.ClickSound; }
  set ClickSound(v) { this.props.ClickSound = !!v; }
  get SoundFile() { return this.props.SoundFile; }
  set SoundFile(v) { this.props.SoundFile = String(v ?? ''); }
  get CursorFile() { return this.props.CursorFile; }
  set CursorFile(v) {
    this.props.CursorFile = String(v ?? '');
    this.applyCursor();
  }
  get ActivateMethod() { return this.props.ActivateMethod; }
  set ActivateMethod(v) {
    const n = Number(v);
    if (n !== 0 && n !== 1) throw new QxmError(CTL_E_INVALIDPROPERTYVALUE, ErrorText.invalidValue);
    this.props.ActivateMethod = n;
  }
  get AnchorFrameOrigin() { return this.props.AnchorFrameOrigin; }
  set AnchorFrameOrigin(v) {
    this.props.AnchorFrameOrigin = wrap32(Number(v) || 0);
    this.SelectAnchor(null);
    this.refreshAnchors();
  }
  // Times the movie plays through; 0 repeats without end.
  get PlayCount() { return this.props.PlayCount; }
  set PlayCount(v) { this.props.PlayCount = Math.max(0, Number(v) | 0); }
  // 0 normal speed, 1 double speed, 2 half speed.
  get PlaybackRate() { return this.props.PlaybackRate; }
  set PlaybackRate(v) {
    const n = Number(v);
    if (![0, 1, 2].includes(n)) {
      throw new QxmError(CTL_E_INVALIDPROPERTYVALUE, ErrorText.invalidValue);
    }
    this.props.PlaybackRate = n;
    this.video.playbackRate = [1.0, 2.0, 0.5][n];
    this.video.defaultPlaybackRate = this.video.playbackRate;
  }
  get AutoRepeat() { return this.props.PlayCount === 0; }
  set AutoRepeat(v) { this.props.PlayCount = v ? 0 : 1; }
  // Frames a second of the movie; the browser does not tell it.
  get FrameRate() { return parseFrameRate(this.props.FrameRate) || DEFAULT_FRAME_RATE; }
  set FrameRate(v) { this.props.FrameRate = String(v ?? ''); }

  get MovieFile() { return this.props.MovieFile; }
  set MovieFile(v) { this.openMovie(String(v ?? '')); }
  get AnchorFile() { return this.props.AnchorFile; }
  set AnchorFile(v) { this.props.AnchorFile = String(v ?? ''); }

  get CurrentPosition() { return this.position; }
  set CurrentPosition(v) { this.Seek(truncToInt32(Number(v))); }
  get Duration() {
    const d = this.video.duration;
    return Number.isFinite(d) ? Math.round(d * this.FrameRate) : 0;
  }
  get ImageSourceWidth() { return this.state === State.NotLoaded ? 0 : this.video.videoWidth; }
  get ImageSourceHeight() { return this.state === State.NotLoaded ? 0 : this.video.videoHeight; }
  // How the current frame is known: "requestVideoFrameCallback", "timeupdate" or "none".
  get FrameClock() { return this.frameClock; }

  attributeChangedCallback(name, _old, value) {
    if (name in BOOLEAN_ATTRIBUTES) {
      const [prop, fallback] = BOOLEAN_ATTRIBUTES[name];
      this[prop] = parseBooleanAttribute(value, fallback);
    } else if (name in INTEGER_ATTRIBUTES) {
      const [prop, fallback] = INTEGER_ATTRIBUTES[name];
      try {
        this[prop] = parseIntegerAttribute(value, fallback);
      } catch (e) {
        console.warn(`qxm-movie: ${name}="${value}": ${e.message}`);
      }
    } else if (name in STRING_ATTRIBUTES) {
      const prop = STRING_ATTRIBUTES[name];
      if (prop === 'MovieFile') {
        if (this.isConnected) this.MovieFile = value ?? '';
        else this.props.MovieFile = value ?? '';
      } else {
        this[prop] = value ?? '';
      }
    }
  }

  connectedCallback() {
    // The host takes the keyboard (Space plays and pauses); its anchors follow it in Tab order.
    if (!this.hasAttribute('tabindex')) this.tabIndex = 0;
    if (!this.hasAttribute('role')) this.setAttribute('role', 'region');
    if (!this.hasAttribute('aria-roledescription')) {
      this.setAttribute('aria-roledescription', 'hypervideo');
    }
    if (!this.hasAttribute('aria-label')) this.setAttribute('aria-label', 'Movie');
    if (this.props.MovieFile && this.state === State.NotLoaded && !this.opening) {
      this.openMovie(this.props.MovieFile);
    }
  }

  disconnectedCallback() {
    this.video.pause();
  }

  // ---- methods --------------------------------------------------------------------------

  // Seeks to frameNo first when it is 0 or more, then plays.
  Play(frameNo = -1) {
    if (this.state === State.NotLoaded) return;
    if (frameNo >= 0) this.Seek(frameNo);
    if (this.state !== State.Running) this.playsDone = 0;
    this.startVideo();
  }

  Pause() {
    if (this.state === State.Running) this.video.pause();
  }

  Stop() {
    if (this.state !== State.Running && this.state !== State.Paused) return;
    this.stopping = true;
    this.video.pause();
    this.enterStopped(false);
  }

  // Only the anchor with this ID can be hit, activated, entered or left from now on; the movie
  // is paused on its first frame and it is selected. An empty ID lifts the restriction.
  EnableAnchor(anchorId) {
    const id = String(anchorId ?? '');
    if (id === '') {
      this.enabledId = '';
      this.refreshAnchors();
      return true;
    }
    if (!this.props.MovieFile || this.state === State.NotLoaded) return false;
    const record = this.anchors.Find(id);
    if (!record) return false;
    this.enabledId = id;
    this.Pause();
    this.SelectAnchor(record);
    this.Seek(wrap32(record.startFrame + this.props.AnchorFrameOrigin));
    return true;
  }

  AnchorID(index) {
    this.checkIndex(index);
    return this.anchors.ID(index);
  }

  AnchorName(index) {
    this.checkIndex(index);
    return this.anchors.Name(index);
  }

  checkIndex(index) {
    if (!(index >= 0 && index < this.anchors.Count())) {
      throw new QxmError(CTL_E_INVALIDPROPERTYARRAYINDEX, ErrorText.invalidIndex);
    }
  }

  // Shows frame n: the video is put in the middle of the frame's interval.
  Seek(frame) {
    if (this.state === State.NotLoaded) return;
    const last = Math.max(0, this.Duration - 1);
    const n = Math.min(Math.max(0, frame), last);
    this.video.currentTime = timeOfFrame(n, this.FrameRate);
    if (this.frameClock !== 'requestVideoFrameCallback') this.setPosition(n);
  }

  // ---- opening --------------------------------------------------------------------------

  async openMovie(path) {
    const serial = ++this.openSerial;
    this.SelectAnchor(null);
    if (path === '') {
      this.clearMovie();
      return;
    }
    this.opening = true;
    const pageUrl = globalThis.document?.URL ?? '';
    const resolved = resolveMoviePath(path, pageUrl);
    const anchorUrl = this.props.AnchorFile
      ? resolveMoviePath(this.props.AnchorFile, pageUrl)
      : anchorFilePath(resolved);
    const result = await this.loadAnchors(anchorUrl);
    if (serial !== this.openSerial) return;
    this.opening = false;
    if (result !== 0) {
      // The old movie keeps playing; its anchors are gone.
      this.anchors.Clear();
      this.underCursor = null;
      this.refreshAnchors();
      const problem = this.anchors.LastProblem();
      const error = new QxmError(ANCHOR_READ_ERROR, ErrorText.anchorRead);
      error.line = problem.line;
      error.fault = problem.fault;
      console.error(
        `qxm-movie: ${anchorUrl}: ${ErrorText.anchorRead} (line ${problem.line}, ${problem.fault})`,
      );
      this.fire('OnError', { ErrorNum: result, Description: ErrorText.anchorRead, error });
      return;
    }
    this.props.MovieFile = resolved;
    this.underCursor = null;
    this.playsDone = 0;
    this.setState(State.NotLoaded);
    this.video.src = resolved;
    this.video.load();
  }

  async loadAnchors(url) {
    let bytes;
    try {
      const response = await fetch(url, { cache: 'no-cache' });
      if (!response.ok) return this.anchors.LoadAnchorsFrom(new Uint8Array(0));
      bytes = new Uint8Array(await response.arrayBuffer());
    } catch (e) {
      // An anchor object file that cannot be fetched means a movie without anchors.
      console.warn(`qxm-movie: no anchors: ${url} cannot be read (${e.message})`);
      return this.anchors.LoadAnchorsFrom(new Uint8Array(0));
    }
    return this.anchors.LoadAnchorsFrom(bytes);
  }

  clearMovie() {
    this.anchors.Clear();
    this.underCursor = null;
    this.video.pause();
    this.video.removeAttribute('src');
    this.video.load();
    this.props.AnchorFrameOrigin = this.originAttribute();
    this.enabledId = '';
    this.AnchorNum = 0;
    this.props.MovieFile = '';
    this.setState(State.NotLoaded);
    this.setPosition(0);
    this.refreshAnchors();
  }

  // The page's anchor-frame-origin: opening and clearing a movie return to it.
  originAttribute() {
    return wrap32(parseIntegerAttribute(this.getAttribute('anchor-frame-origin'), 0));
  }

  // ---- the video ------------------------------------------------------------------------

  bindVideo() {
    const v = this.video;
    v.addEventListener('loadedmetadata', () => this.onOpenComplete());
    v.addEventListener('playing', () => {
      if (this.state !== State.Running) this.setState(State.Running);
      this.startTicks();
    });
    v.addEventListener('pause', () => {
      this.stopTicks();
      if (this.stopping || v.ended) return;
      if (this.state === State.Running) this.setState(State.Paused);
    });
    v.addEventListener('ended', () => this.onEnded());
    v.addEventListener('error', () => {
      const code = v.error ? v.error.code : 0;
      if (v.getAttribute('src')) this.fire('OnError', { ErrorNum: code });
    });
    v.addEventListener('timeupdate', () => {
      if (this.frameClock === 'timeupdate') {
        this.setPosition(frameAtTime(v.currentTime, this.FrameRate));
      }
    });
    // A seek while paused shows the frame at the time sought. The frame callback may never
    // come for it (Chromium now and then presents a paused seek's frame without one), so the
    // position is not left to the callback alone.
    v.addEventListener('seeked', () => {
      if (this.frameClock === 'timeupdate' || v.paused) {
        this.setPosition(frameAtTime(v.currentTime, this.FrameRate));
      }
    });
    if (typeof v.requestVideoFrameCallback === 'function') {
      this.frameClock = 'requestVideoFrameCallback';
      const onFrame = (_now, metadata) => {
        this.setPosition(framePresentedAt(metadata.mediaTime, this.FrameRate));
        v.requestVideoFrameCallback(onFrame);
      };
      v.requestVideoFrameCallback(onFrame);
    } else {
      this.frameClock = 'timeupdate';
      console.warn(
        'qxm-movie: this browser has no requestVideoFrameCallback; the current frame comes ' +
          'from timeupdate and may lag behind the picture',
      );
    }
  }

  onOpenComplete() {
    const v = this.video;
    this.props.AnchorFrameOrigin = this.originAttribute();
    this.enabledId = '';
    if (!parseFrameRate(this.props.FrameRate)) {
      console.warn(`qxm-movie: no frame-rate given; taking ${DEFAULT_FRAME_RATE} frames a second`);
    }
    v.width = v.videoWidth;
    v.height = v.videoHeight;
    this.canvas.width = v.videoWidth;
    this.canvas.height = v.videoHeight;
    this.tracker.max = String(Math.max(0, this.Duration - 1));
    this.fitToPicture();
    this.AnchorNum = this.anchors.Count();
    this.setState(State.Stopped);
    this.setPosition(0);
    this.refreshAnchors();
    this.fire('OpenComplete', {});
    if (this.props.AutoPlay) this.Play(-1);
  }

  startVideo() {
    const attempt = this.video.play();
    if (attempt && attempt.catch) {
      attempt.catch((e) => {
        if (e.name === 'NotAllowedError' && !this.video.muted) {
          // The browser lets only muted movies start without a gesture of the viewer.
          this.video.muted = true;
          this.video.play().catch(() => {});
        }
      });
    }
  }

  onEnded() {
    this.stopTicks();
    ++this.playsDone;
    if (this.props.PlayCount === 0 || this.playsDone < this.props.PlayCount) {
      this.video.currentTime = timeOfFrame(0, this.FrameRate);
      this.startVideo();
      return;
    }
    this.enterStopped(true);
  }

  // The movie stops: at its end (finished) or by Stop. Rewinds when AutoRewind is set.
  enterStopped(finished) {
    if (this.props.AutoRewind) this.Seek(0);
    this.stopping = false;
    this.setState(State.Stopped, finished ? 'OnMovieFinish' : 'OnMovieStop');
  }

  setState(newState, cause) {
    const oldState = this.state;
    if (oldState === newState && !cause) return;
    this.state = newState;
    if (newState === State.Running) this.fire('OnMovieStart', {});
    else if (newState === State.Paused) this.fire('OnMovieStop', {});
    else if (newState === State.Stopped && cause) this.fire(cause, {});
    if (oldState !== newState) this.fire('OnStateChange', { oldState, newState });
    this.playButton.textContent = newState === State.Running ? 'Pause' : 'Play';
    this.playButton.setAttribute('aria-pressed', String(newState === State.Running));
    this.drawFrame();
  }

  setPosition(n) {
    if (n === this.position) return;
    const old = this.position;
    this.position = n;
    this.tracker.value = String(n);
    this.counter.textContent = `${n} / ${this.Duration}`;
    this.refreshAnchors();
    if (this.pointer) this.TrackCursor(this.pointer.x, this.pointer.y);
    this.fire('OnPositionChange', { oldPosition: old, newPosition: n });
  }

  startTicks() {
    if (this.ticks) return;
    this.ticks = setInterval(() => {
      if (this.pointer) this.TrackCursor(this.pointer.x, this.pointer.y);
      this.fire('OnTimer', {});
    }, 200);
  }

  stopTicks() {
    clearInterval(this.ticks);
    this.ticks = null;
  }

  // ---- anchors --------------------------------------------------------------------------

  // The anchor frame of the moment: the frame shown minus AnchorFrameOrigin.
  anchorFrame() {
    return anchorFrameAt(this.position, this.props.AnchorFrameOrigin);
  }

  scaleFactors() {
    const v = this.video;
    const box = v.getBoundingClientRect();
    const shown = box.width > 0 && box.height > 0 ? { width: box.width, height: box.height } : null;
    return anchorScaleFactors({ width: v.videoWidth, height: v.videoHeight }, shown);
  }

  // Hit test with the enabled anchor: only the selected anchor while one is enabled.
  hitTest(point) {
    const frame = this.anchorFrame();
    if (this.enabledId !== '' && this.selected) {
      return this.anchors.FindAnchorAt(this.selected, frame, point, true) ? this.selected : null;
    }
    return this.anchors.HitTestAnchors(frame, point, this.enabledId);
  }

  SelectAnchor(record) {
    if (record === this.selected) return;
    this.selected = record;
    this.drawFrame();
    this.refreshAnchors();
  }

  // The cursor check at a point of the picture, in window pixels.
  TrackCursor(x, y) {
    if (this.state === State.NotLoaded) return;
    const h = this.hitTest(windowToPicture(x, y, this.scaleFactors()));
    const p = this.underCursor;
    if (h !== p) {
      if (p) this.fire('OnCursorOut', { AnchorID: p.id });
      if (h) this.fire('OnCursorIn', { AnchorID: h.id });
    }
    this.underCursor = h;
    this.applyCursor();
  }

  applyCursor() {
    if (!this.props.ChangeCursor) return;
    if (!this.underCursor) {
      this.video.style.cursor = '';
    } else if (this.props.CursorFile) {
      this.video.style.cursor = `url("${this.props.CursorFile}"), pointer`;
    } else {
      this.video.style.cursor = 'pointer';
    }
  }

  // A press of the pointer on the picture (window pixels) or an anchor chosen from the
  // keyboard: selects, pauses and activates as a click of the control does.
  pressAt(point, buttons) {
    this.lastButtons = buttons;
    const r = this.hitTest(point);
    if (r) {
      this.Pause();
      this.SelectAnchor(r);
      if (this.props.ClickSound && this.props.SoundFile) {
        const sound = new Audio(this.props.SoundFile);
        sound.play().catch(() => {});
      }
    } else {
      this.SelectAnchor(null);
    }
    if (buttons & 1 && this.props.ActivateMethod === 0 && this.selected) {
      this.fire('OnActivateAnchor', { AnchorID: this.selected.id });
    }
  }

  activateByDoubleClick() {
    if (this.lastButtons & 1 && this.props.ActivateMethod === 1 && this.selected) {
      this.fire('OnActivateAnchor', { AnchorID: this.selected.id });
    }
  }

  // The red frame of the selected anchor, drawn only while the movie is not running.
  drawFrame() {
    const c = this.canvas;
    const v = this.video;
    const box = v.getBoundingClientRect();
    const width = Math.round(box.width);
    const height = Math.round(box.height);
    if (width > 0 && (c.width !== width || c.height !== height)) {
      c.width = width;
      c.height = height;
    }
    c.style.width = `${c.width}px`;
    c.style.height = `${c.height}px`;
    const g = c.getContext('2d');
    if (!g) return;
    g.clearRect(0, 0, c.width, c.height);
    if (!this.props.ShowAnchor || !this.selected || this.state === State.Running) return;
    if (this.state === State.NotLoaded) return;
    const rect = this.anchors.FindAnchorAt(this.selected, this.anchorFrame(), null, false);
    if (!rect) return;
    const w = pictureToWindow(rect, this.scaleFactors());
    g.strokeStyle = 'rgb(255, 0, 0)';
    g.lineWidth = 1;
    // A one-pixel outline on the pixels of the rectangle's border (right and bottom outside).
    g.strokeRect(w.left + 0.5, w.top + 0.5, w.right - w.left - 1, w.bottom - w.top - 1);
  }

  // The focusable stand-ins of the anchors of the current frame, in file order, each over its
  // anchor and labelled with the anchor's name, so Tab walks them and Enter activates.
  refreshAnchors() {
    const frame = this.anchorFrame();
    const f = this.scaleFactors();
    const present = [];
    if (this.state !== State.NotLoaded) {
      for (const r of this.anchors.records) {
        if (this.enabledId !== '' && r.id !== this.enabledId) continue;
        const rect = anchorRectAt(r, frame);
        if (rect) present.push({ r, rect: pictureToWindow(rect, f) });
      }
    }
    const layer = this.anchorLayer;
    const focused = this.shadowRoot.activeElement;
    const focusedRecord = focused && focused.qxmAnchor;
    while (this.anchorButtons.length > present.length) this.anchorButtons.pop().remove();
    while (this.anchorButtons.length < present.length) {
      const b = globalThis.document.createElement('div');
      b.setAttribute('role', 'button');
      b.tabIndex = 0;
      b.addEventListener('focus', () => this.Pause());
      b.addEventListener('keydown', (e) => {
        if (e.key !== 'Enter') return;
        e.preventDefault();
        this.activateFromKeyboard(b.qxmAnchor);
      });
      layer.appendChild(b);
      this.anchorButtons.push(b);
    }
    present.forEach(({ r, rect }, i) => {
      const b = this.anchorButtons[i];
      b.qxmAnchor = r;
      b.textContent = r.name || r.id;
      b.setAttribute('aria-label', r.name || r.id);
      b.dataset.anchorId = r.id;
      b.setAttribute('aria-pressed', String(r === this.selected));
      b.style.left = `${rect.left}px`;
      b.style.top = `${rect.top}px`;
      b.style.width = `${Math.max(0, rect.right - rect.left)}px`;
      b.style.height = `${Math.max(0, rect.bottom - rect.top)}px`;
    });
    if (focusedRecord && !present.some((p) => p.r === focusedRecord) && focused) {
      this.focus();
    }
    this.drawFrame();
  }

  activateFromKeyboard(record) {
    if (!record) return;
    const frame = this.anchorFrame();
    const rect = anchorRectAt(record, frame);
    if (!rect) return;
    // The anchor's own top-left pixel: the press lands on it as a click there would.
    this.pressAt({ x: rect.left, y: rect.top }, 1);
    if (this.selected === record && this.props.ActivateMethod === 1) {
      this.fire('OnActivateAnchor', { AnchorID: record.id });
    }
  }

  // ---- input ----------------------------------------------------------------------------

  bindInput() {
    const v = this.video;
    const local = (e) => {
      const box = v.getBoundingClientRect();
      return { x: e.clientX - box.left, y: e.clientY - box.top };
    };
    const mouseArgs = (e, p) => ({
      Button: [1, 4, 2][e.button] ?? 0,
      Shift: (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0),
      x: Math.trunc(p.x),
      y: Math.trunc(p.y),
    });
    v.addEventListener('mousemove', (e) => {
      const p = local(e);
      this.pointer = p;
      this.TrackCursor(p.x, p.y);
      this.fire('MouseMove', mouseArgs(e, p));
    });
    v.addEventListener('mouseleave', () => {
      this.pointer = null;
      if (this.underCursor) {
        const p = this.underCursor;
        this.underCursor = null;
        this.fire('OnCursorOut', { AnchorID: p.id });
        this.applyCursor();
      }
    });
    v.addEventListener('mousedown', (e) => {
      const p = local(e);
      const buttons = [1, 4, 2][e.button] ?? 0;
      if (this.state !== State.NotLoaded) {
        this.pressAt(windowToPicture(p.x, p.y, this.scaleFactors()), buttons);
      }
      this.fire('MouseDown', mouseArgs(e, p));
    });
    v.addEventListener('mouseup', (e) => this.fire('MouseUp', mouseArgs(e, local(e))));
    v.addEventListener('dblclick', () => this.activateByDoubleClick());
    v.addEventListener('contextmenu', (e) => e.preventDefault());

    this.playButton.addEventListener('click', () => this.togglePlay());
    this.shadowRoot.querySelector('.stop').addEventListener('click', () => this.Stop());
    this.tracker.addEventListener('input', () => {
      this.Pause();
      this.Seek(Number(this.tracker.value));
    });
    this.addEventListener('keydown', (e) => {
      if (e.key === ' ' || e.code === 'Space') {
        const inPanel = e.composedPath().some((n) => n instanceof Element && n.closest?.('.panel'));
        if (inPanel && e.composedPath()[0] !== this.tracker) return; // the button handles it
        e.preventDefault();
        this.togglePlay();
      }
    });
  }

  togglePlay() {
    if (this.state === State.Running) this.Pause();
    else this.Play(-1);
  }

  fire(name, detail) {
    this.dispatchEvent(new CustomEvent(name, { detail, bubbles: true, composed: true }));
  }
}

if (globalThis.customElements && !globalThis.customElements.get('qxm-movie')) {
  globalThis.customElements.define('qxm-movie', QxmMovie);
}
