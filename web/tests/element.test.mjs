// <qxm-movie> in headless Chromium on movies published with `qxmanchor publish`: a generated
// movie whose frames carry their number as a barcode, and an anchor object file with an anchor
// that follows the moving object and one that stands still. Screenshots go to
// $QXM_WEB_SCREENSHOTS for review.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import {
  copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync,
} from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

import { serveFolder } from './static-server.mjs';

const bin = process.env.QXM_BIN_DIR;
const chromium = process.env.QXM_CHROMIUM;
const modules = process.env.QXM_WEB_NODE_MODULES;
const shots = process.env.QXM_WEB_SCREENSHOTS ?? join(tmpdir(), 'qxm-web-screenshots');
assert.ok(bin && chromium && modules, 'run through run-tests.sh (QXM_BIN_DIR, QXM_CHROMIUM, ...)');

const require = createRequire(join(modules, 'noop.js'));
const puppeteer = (await import(pathToFileURL(require.resolve('puppeteer-core')).href)).default;

const FRAMES = 90;
const FPS = 25;
const STILL = { left: 8, top: 176, right: 64, bottom: 232 }; // where the object never goes

// The anchor object file: the moving object's rectangle from the truth file every 5 frames,
// and a still anchor over the whole movie.
function anchorFile(truthPath) {
  const rects = readFileSync(truthPath, 'utf8')
    .split('\n')
    .filter((l) => l && !l.startsWith('#'))
    .map((l) => l.split(' ').map(Number));
  const keys = rects.filter(([f]) => f % 5 === 0 || f === FRAMES - 1);
  const lines = ['MaxObject=2', '', `[OBJ1:Moving object:0-${FRAMES - 1}:${keys.length}]`];
  for (const [f, l, t, r, b] of keys) lines.push(`${f}:${l},${t},${r},${b};`);
  const s = STILL;
  const still = `${s.left},${s.top},${s.right},${s.bottom};`;
  lines.push('', `[BOX2:Corner box:0-${FRAMES - 1}:2]`, `0:${still}`, `${FRAMES - 1}:${still}`);
  return lines.join('\r\n') + '\r\n';
}

let work;
let server;
let browser;

function publish(movie, out, format) {
  const args = ['publish', movie, '-o', out];
  if (format) args.push('--format', format);
  return execFileSync(join(bin, 'qxmanchor'), args, { encoding: 'utf8' });
}

before(async () => {
  work = mkdtempSync(join(tmpdir(), 'qxm-web-'));
  mkdirSync(shots, { recursive: true });
  const movie = join(work, 'src', 'moving clip.avi');
  mkdirSync(join(work, 'src'));
  execFileSync(join(bin, 'qxm-make-movie'), [
    '--kind', 'avi-bgr24', '--size', '320x240', '--frames', String(FRAMES), '--fps', String(FPS),
    '--path', 'straight', '--speed', '2.5', '--truth', join(work, 'truth.txt'), movie,
  ]);
  writeFileSync(join(work, 'src', 'moving clip.obj'), anchorFile(join(work, 'truth.txt')));
  publish(movie, join(work, 'site', 'mp4'));
  // A second movie whose anchor object file the reader refuses (frames out of order).
  copyFileSync(join(work, 'site', 'mp4', 'moving clip.mp4'), join(work, 'site', 'mp4', 'bad.mp4'));
  writeFileSync(join(work, 'site', 'mp4', 'bad.obj'), '[A:a:0-9:2]\n5:0,0,1,1;\n4:0,0,1,1;\n');
  publish(movie, join(work, 'site', 'webm'), 'webm');
  server = await serveFolder(join(work, 'site'));
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
  });
});

after(async () => {
  await browser?.close();
  await server?.close();
  if (work) rmSync(work, { recursive: true, force: true });
});

// Opens a published page and waits until its movie is open; every event of the element is
// recorded in window.events.
// frameCallback: 'real', 'none' (the browser has none) or 'silent' (registered, never called).
async function open(folder, { frameCallback = 'real', consoleLines = [] } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 600 });
  page.on('pageerror', (e) => console.log(`page error: ${e.message}`));
  page.on('console', (m) => consoleLines.push(`${m.type()}: ${m.text()}`));
  if (frameCallback === 'none') {
    await page.evaluateOnNewDocument(() => {
      delete HTMLVideoElement.prototype.requestVideoFrameCallback;
    });
  } else if (frameCallback === 'silent') {
    await page.evaluateOnNewDocument(() => {
      HTMLVideoElement.prototype.requestVideoFrameCallback = () => 1;
    });
  }
  await page.evaluateOnNewDocument(() => {
    window.events = [];
    const names = ['OnCursorIn', 'OnCursorOut', 'OnActivateAnchor', 'OnMovieStart', 'OnMovieStop',
      'OnMovieFinish', 'OnStateChange', 'OpenComplete', 'OnError'];
    for (const name of names) {
      document.addEventListener(name, (e) => window.events.push({ name, detail: e.detail }), true);
    }
  });
  await page.goto(`${server.url}/${folder}/index.html`);
  await waitForEvent(page, 'OpenComplete');
  return page;
}

// Runs fn(element, ...args) in the page.
async function inMovie(page, fn, ...args) {
  const element = await page.$('qxm-movie');
  try {
    return await element.evaluate(fn, ...args);
  } finally {
    await element.dispose();
  }
}

// Waits until fn(element) holds; on time-out says what was awaited and what had happened.
async function waitForMovie(page, fn, what, ...args) {
  const element = await page.$('qxm-movie');
  try {
    await page.waitForFunction(fn, { timeout: 8000 }, element, ...args);
  } catch (e) {
    const seen = await page.evaluate(() => JSON.stringify(window.events.slice(-12)));
    const now = await element.evaluate((m) => ({
      state: m.state,
      position: m.CurrentPosition,
      focus: m.shadowRoot.activeElement?.outerHTML ?? document.activeElement?.tagName,
    }));
    throw new Error(`${what}: not reached (${e.message}); element ${JSON.stringify(now)}; ` +
      `last events ${seen}`);
  } finally {
    await element.dispose();
  }
}

const waitForEvent = (page, name) =>
  waitForMovie(page, (_m, n) => window.events.some((e) => e.name === n), name, name);

const events = (page, name) =>
  page.evaluate((n) => window.events.filter((e) => !n || e.name === n), name);
const anchorIds = async (page, name) => (await events(page, name)).map((e) => e.detail.AnchorID);
const focusedLabel = (page) =>
  inMovie(page, (m) => m.shadowRoot.activeElement?.getAttribute('aria-label'));
const clearEvents = (page) => page.evaluate(() => (window.events.length = 0));

// Pauses and shows frame n; resolves once the element reports n as the frame shown.
async function showFrame(page, n) {
  return page.evaluate(async (frame) => {
    const m = document.querySelector('qxm-movie');
    m.Pause();
    m.Seek(frame);
    const t0 = performance.now();
    while (m.CurrentPosition !== frame || m.video.seeking) {
      if (performance.now() - t0 > 3000) break;
      await new Promise((r) => setTimeout(r, 5));
    }
    return m.CurrentPosition;
  }, n);
}

// Reads the frame-number barcode of the picture shown (the test-movie writer's layout: 18
// cells along the top, cell 0 white, cell 17 black, 15 bits of the number, even parity).
function grabFrameNumber(page) {
  return page.evaluate(() => {
    const v = document.querySelector('qxm-movie').video;
    const w = v.videoWidth;
    const h = v.videoHeight;
    const c = new OffscreenCanvas(w, h);
    const g = c.getContext('2d', { willReadFrequently: true });
    g.drawImage(v, 0, 0, w, h);
    const px = g.getImageData(0, 0, w, h).data;
    const cells = 18;
    const bh = Math.max(16, Math.floor((Math.floor(h / 10) + 15) / 16) * 16);
    const cw0 = Math.floor(w / cells);
    const cw = cw0 >= 8 ? Math.floor(cw0 / 8) * 8 : Math.max(1, cw0);
    const y0 = Math.floor(bh / 4);
    const y1 = Math.max(y0 + 1, bh - Math.floor(bh / 4));
    const bits = [];
    let erased = -1;
    for (let cell = 0; cell < cells; ++cell) {
      const cx0 = cell * cw;
      const x0 = cx0 + Math.floor(cw / 4);
      const x1 = Math.max(x0 + 1, cx0 + cw - Math.floor(cw / 4));
      let sum = 0;
      let count = 0;
      for (let y = y0; y < y1; ++y) {
        for (let x = x0; x < x1; ++x) {
          const i = (y * w + x) * 4;
          sum += px[i] + px[i + 1] + px[i + 2];
          count += 3;
        }
      }
      const mean = Math.floor(sum / count);
      bits[cell] = mean >= 128 ? 1 : 0;
      if (mean > 64 && mean < 192) {
        if (erased >= 0 || cell === 0 || cell === cells - 1) return -1;
        erased = cell;
      }
    }
    if (bits[0] !== 1 || bits[cells - 1] !== 0) return -1;
    let parity = 0;
    for (let cell = 1; cell <= 16; ++cell) if (cell !== erased) parity ^= bits[cell];
    if (erased >= 0) bits[erased] = parity;
    else if (parity !== 0) return -1;
    let value = 0;
    for (let i = 0; i < 15; ++i) value = (value << 1) | bits[1 + i];
    return value;
  });
}

// Frames in a scrambled order, so each seek goes forward or back by varying distances.
function scrambled(frames) {
  const out = [...frames];
  for (let i = out.length - 1, s = 12345; i > 0; --i) {
    s = (s * 1103515245 + 12345) % 2147483648;
    const j = s % (i + 1);
    [out[i], out[j]] = [out[j], out[i]];
  }
  return out;
}

async function checkFrames(page, frames, label) {
  const wrong = [];
  for (const n of scrambled(frames)) {
    const position = await showFrame(page, n);
    const shown = await grabFrameNumber(page);
    if (position !== n || shown !== n) wrong.push({ n, position, shown });
  }
  const line = `${label}: frames checked ${frames.length}, wrong ${wrong.length}`;
  console.log(line);
  writeFileSync(join(shots, `frames-${label}.txt`), `${line}\n${JSON.stringify(wrong)}\n`);
  assert.deepEqual(wrong, [], line);
}

// Centre of an anchor at the frame shown, in page coordinates.
function anchorCentre(page, id) {
  return page.evaluate((anchorId) => {
    const m = document.querySelector('qxm-movie');
    const r = m.anchors.FindAnchorAt(m.anchors.Find(anchorId), m.CurrentPosition, null, false);
    const box = m.video.getBoundingClientRect();
    const k = box.width / m.video.videoWidth;
    return {
      x: box.left + ((r.left + r.right) / 2) * k,
      y: box.top + ((r.top + r.bottom) / 2) * k,
    };
  }, id);
}

async function elementShot(page, name) {
  const el = await page.$('qxm-movie');
  const path = join(shots, `${name}.png`);
  const data = await el.screenshot({ encoding: 'base64' });
  writeFileSync(path, Buffer.from(data, 'base64'));
  return data;
}

// Pixels of a PNG (base64) at the points given, as [r, g, b].
function pixelsOf(page, png, points) {
  return page.evaluate(
    async (b64, pts) => {
      const img = new Image();
      img.src = `data:image/png;base64,${b64}`;
      await img.decode();
      const c = new OffscreenCanvas(img.width, img.height);
      const g = c.getContext('2d');
      g.drawImage(img, 0, 0);
      const d = g.getImageData(0, 0, img.width, img.height).data;
      return pts.map(([x, y]) => {
        const i = (y * img.width + x) * 4;
        return [d[i], d[i + 1], d[i + 2]];
      });
    },
    png,
    points,
  );
}

// Checks in a screenshot of the element that the one-pixel red frame lies on the border of the
// rectangle (picture pixels, shown at scale k) and nowhere inside or just outside it.
async function expectRedFrame(page, rect, k, shotName) {
  const png = await elementShot(page, shotName);
  const w = {
    left: Math.trunc(rect.left * k),
    top: Math.trunc(rect.top * k),
    right: Math.trunc(rect.right * k),
    bottom: Math.trunc(rect.bottom * k),
  };
  const midX = (w.left + w.right) >> 1;
  const midY = (w.top + w.bottom) >> 1;
  const border = [[w.left, w.top], [w.right - 1, w.top], [w.left, w.bottom - 1],
    [w.right - 1, w.bottom - 1], [midX, w.top], [w.left, midY], [midX, w.bottom - 1]];
  const elsewhere = [[w.left + 2, w.top + 2], [midX, midY], [w.left - 2, w.top - 2],
    [w.right + 1, w.bottom + 1]];
  const px = await pixelsOf(page, png, [...border, ...elsewhere]);
  const red = ([r, g, b]) => r >= 240 && g <= 20 && b <= 20;
  assert.ok(px.slice(0, border.length).every(red), `border ${JSON.stringify(px)}`);
  assert.ok(!px.slice(border.length).some(red), `inside and outside ${JSON.stringify(px)}`);
}

describe('published H.264 movie', () => {
  let page;
  before(async () => {
    page = await open('mp4');
  });
  after(async () => page?.close());

  test('the page opens the movie with its anchors and plays it', async () => {
    const info = await inMovie(page, (m) => ({
      n: m.AnchorNum,
      ids: [m.AnchorID(0), m.AnchorID(1)],
      names: [m.AnchorName(0), m.AnchorName(1)],
      clock: m.FrameClock,
      duration: m.Duration,
      size: [m.ImageSourceWidth, m.ImageSourceHeight],
    }));
    assert.deepEqual(info, {
      n: 2,
      ids: ['OBJ1', 'BOX2'],
      names: ['Moving object', 'Corner box'],
      clock: 'requestVideoFrameCallback',
      duration: FRAMES,
      size: [320, 240],
    });
    await waitForMovie(page, (m) => m.CurrentPosition > 5, 'CurrentPosition > 5');
    assert.ok((await events(page, 'OnMovieStart')).length >= 1);
    const err = await page.evaluate(() => {
      try {
        document.querySelector('qxm-movie').AnchorID(2);
        return null;
      } catch (e) {
        return [e.number, e.message];
      }
    });
    assert.deepEqual(err, [0x800a017d, 'Invalid Property Array Index']);
  });

  test('a seek to frame n shows frame n, for every frame', async () => {
    await checkFrames(page, [...Array(FRAMES).keys()], 'mp4');
  });

  test('hovering the moving object enters its anchor, leaving it leaves', async () => {
    await showFrame(page, 40);
    await page.mouse.move(5, 5);
    await clearEvents(page);
    const c = await anchorCentre(page, 'OBJ1');
    await page.mouse.move(c.x, c.y, { steps: 4 });
    await waitForEvent(page, 'OnCursorIn');
    const cursor = await inMovie(page, (m) => m.video.style.cursor);
    await elementShot(page, 'mp4-hover');
    await page.mouse.move(5, 5, { steps: 2 });
    await waitForEvent(page, 'OnCursorOut');
    const got = (await events(page)).filter((e) => e.name.startsWith('OnCursor'));
    assert.deepEqual(got, [
      { name: 'OnCursorIn', detail: { AnchorID: 'OBJ1' } },
      { name: 'OnCursorOut', detail: { AnchorID: 'OBJ1' } },
    ]);
    assert.equal(cursor, 'pointer');
  });

  test('a click on the anchor pauses, selects it in red and activates it', async () => {
    await inMovie(page, (m) => m.Play(30));
    await waitForMovie(page, (m) => m.CurrentPosition >= 45, 'CurrentPosition >= 45');
    await clearEvents(page);
    // The picture moves while the pointer travels: aim where the object is now.
    const c = await anchorCentre(page, 'OBJ1');
    await page.mouse.click(c.x, c.y);
    await waitForEvent(page, 'OnActivateAnchor');
    const got = await events(page);
    assert.deepEqual(got.filter((e) => e.name === 'OnActivateAnchor'),
      [{ name: 'OnActivateAnchor', detail: { AnchorID: 'OBJ1' } }]);
    assert.ok(got.some((e) => e.name === 'OnMovieStop'), 'the click pauses the movie');
    await page.mouse.move(5, 5);
    await elementShot(page, 'mp4-click');
  });

  test('EnableAnchor frames the anchor in red and lets only it be hit', async () => {
    const r = await page.evaluate(() => {
      const m = document.querySelector('qxm-movie');
      return [m.EnableAnchor('NOPE'), m.EnableAnchor('BOX2')];
    });
    assert.deepEqual(r, [false, true]);
    await waitForMovie(page, (m) => m.CurrentPosition === 0, 'frame 0');
    await expectRedFrame(page, STILL, 1, 'mp4-enable-anchor');

    // Only the enabled anchor reacts; the moving object does not.
    await clearEvents(page);
    const obj = await anchorCentre(page, 'OBJ1');
    await page.mouse.click(obj.x, obj.y);
    const box = await anchorCentre(page, 'BOX2');
    await page.mouse.click(box.x, box.y);
    await waitForEvent(page, 'OnActivateAnchor');
    assert.deepEqual((await anchorIds(page, 'OnActivateAnchor')), ['BOX2']);
    assert.deepEqual((await anchorIds(page, 'OnCursorIn')), ['BOX2']);
    await page.mouse.move(5, 5);
    assert.equal(await inMovie(page, (m) => m.EnableAnchor('')), true);
  });

  test('keyboard: Space plays and pauses, Tab walks the anchors, Enter activates', async () => {
    await showFrame(page, 20);
    await page.focus('qxm-movie');
    await clearEvents(page);
    await page.keyboard.press('Space');
    await waitForMovie(page, (m) => m.state === 2, 'state === 2');
    await page.keyboard.press('Space');
    await waitForMovie(page, (m) => m.state === 1, 'state === 1');
    await page.keyboard.press('Tab');
    const first = await focusedLabel(page);
    await page.keyboard.press('Tab');
    const second = await focusedLabel(page);
    await elementShot(page, 'mp4-keyboard-focus');
    assert.deepEqual([first, second], ['Moving object', 'Corner box']);
    await page.keyboard.press('Enter');
    await waitForEvent(page, 'OnActivateAnchor');
    assert.deepEqual((await anchorIds(page, 'OnActivateAnchor')), ['BOX2']);
    const changes = (await events(page, 'OnStateChange')).map((e) => [
      e.detail.oldState,
      e.detail.newState,
    ]);
    assert.deepEqual(changes.slice(0, 2), [[1, 2], [2, 1]]);
  });

  test('playing to the end finishes and rewinds', async () => {
    const before = await inMovie(page, (m) => m.state);
    await clearEvents(page);
    await page.evaluate((n) => document.querySelector('qxm-movie').Play(n), FRAMES - 8);
    await waitForEvent(page, 'OnMovieFinish');
    await waitForMovie(page, (m) => m.CurrentPosition === 0, 'frame 0');
    const got = (await events(page)).map((e) =>
      e.name === 'OnStateChange' ? `${e.name}(${e.detail.oldState},${e.detail.newState})` : e.name);
    assert.deepEqual(got, [
      'OnMovieStart',
      `OnStateChange(${before},2)`,
      'OnMovieFinish',
      'OnStateChange(2,0)',
    ]);
  });

  test('a malformed anchor object file is refused and the movie before stays', async () => {
    await clearEvents(page);
    const movieBefore = await inMovie(page, (m) => m.MovieFile);
    await page.evaluate(() => (document.querySelector('qxm-movie').MovieFile = 'bad.mp4'));
    await waitForEvent(page, 'OnError');
    const errors = (await events(page, 'OnError')).map((e) => [
      e.detail.ErrorNum,
      e.detail.Description,
    ]);
    assert.deepEqual(errors, [[2002, 'Anchor Data Read Error']]);
    const after = await page.evaluate(() => {
      const m = document.querySelector('qxm-movie');
      return [m.MovieFile, m.anchors.Count()];
    });
    assert.deepEqual(after, [movieBefore, 0]);
  });
});

describe('picture scaled by the page', () => {
  test('hit test and red frame follow the scaled picture', async () => {
    const page = await open('mp4');
    try {
      await page.addStyleTag({
        content: 'qxm-movie::part(video) { width: 640px; height: 480px; }',
      });
      await showFrame(page, 40);
      await clearEvents(page);
      // Just right of the anchor's right edge (outside), then its centre (inside).
      const edge = await page.evaluate(() => {
        const m = document.querySelector('qxm-movie');
        const r = m.anchors.FindAnchorAt(m.anchors.Find('OBJ1'), 40, null, false);
        const box = m.video.getBoundingClientRect();
        return { x: box.left + r.right * 2 + 0.5, y: box.top + (r.top + r.bottom) };
      });
      await page.mouse.move(edge.x, edge.y);
      const c = await anchorCentre(page, 'OBJ1');
      await page.mouse.move(c.x, c.y, { steps: 3 });
      await waitForEvent(page, 'OnCursorIn');
      assert.equal((await events(page, 'OnCursorIn')).length, 1);
      await page.mouse.move(5, 5);
      const enabled = await inMovie(page, (m) => m.EnableAnchor('BOX2'));
      assert.equal(enabled, true);
      await waitForMovie(page, (m) => m.CurrentPosition === 0, 'frame 0');
      await expectRedFrame(page, STILL, 2, 'mp4-scaled-enable-anchor');
    } finally {
      await page.close();
    }
  });
});

describe('published VP9 movie', () => {
  test('a seek to frame n shows frame n', async () => {
    const page = await open('webm');
    try {
      await checkFrames(page, [...Array(FRAMES).keys()].filter((n) => n % 3 === 0), 'webm');
    } finally {
      await page.close();
    }
  });
});

describe('browser without requestVideoFrameCallback', () => {
  test('says so, and a seek still shows the frame sought', async () => {
    const consoleLines = [];
    const page = await open('mp4', { frameCallback: 'none', consoleLines });
    try {
      assert.equal(await inMovie(page, (m) => m.FrameClock), 'timeupdate');
      assert.ok(
        consoleLines.some((l) => l.startsWith('warn') && l.includes('requestVideoFrameCallback')),
        consoleLines.join('\n'),
      );
      await checkFrames(page, [0, 1, 2, 17, 44, 45, 88, 89], 'mp4-timeupdate');
    } finally {
      await page.close();
    }
  });
});

describe('frame callback that misses a paused seek', () => {
  test('the position still follows the seek', async () => {
    const page = await open('mp4', { frameCallback: 'silent' });
    try {
      assert.equal(await inMovie(page, (m) => m.FrameClock), 'requestVideoFrameCallback');
      await checkFrames(page, [0, 1, 17, 44, 89], 'mp4-silent-callback');
    } finally {
      await page.close();
    }
  });
});
