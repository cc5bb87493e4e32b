// The web player's anchor reader and lookups on the shared corpus (the same files and results
// the control's reader is tested with), and the path and frame arithmetic around them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';

import {
  CDefAnchor,
  anchorFilePath,
  frameAtTime,
  framePresentedAt,
  resolveMoviePath,
  timeOfFrame,
} from '../qxm-movie.js';

const corpus =
  process.env.QXM_ANCHOR_CORPUS ??
  new URL('../../testing/anchor_corpus', import.meta.url).pathname;
const files = readdirSync(corpus).filter((f) => f.endsWith('.obj')).sort();

const rectList = (r) => (r ? [r.left, r.top, r.right, r.bottom] : null);

test('the corpus is there', () => {
  assert.ok(files.length >= 20, `only ${files.length} files in ${corpus}`);
});

for (const file of files) {
  test(`corpus ${file}`, () => {
    const exp = JSON.parse(readFileSync(join(corpus, file.replace(/\.obj$/, '.json')), 'utf8'));
    const store = new CDefAnchor();
    const result = store.LoadAnchorsFrom(readFileSync(join(corpus, file)));
    assert.equal(result, exp.result, exp.about);
    if (result !== 0) {
      const p = store.LastProblem();
      assert.deepEqual({ line: p.line, fault: p.fault }, exp.problem);
      assert.equal(store.Count(), 0);
      return;
    }
    const got = store.records.map((r) => ({
      id: r.id,
      name: r.name,
      start: r.startFrame,
      end: r.endFrame,
      capacity: r.capacity,
      entries: r.entries.map((e) => [e.frame, ...rectList(e.rect)]),
    }));
    assert.deepEqual(got, exp.anchors);
    for (const [index, frame, rect] of exp.rects) {
      const found = store.FindAnchorAt(store.records[index], frame, null, false);
      assert.deepEqual(rectList(found), rect, `anchor ${index} at frame ${frame}`);
    }
    for (const [frame, x, y, filter, index] of exp.hits) {
      const hit = store.HitTestAnchors(frame, { x, y }, filter);
      const found = hit ? store.records.indexOf(hit) : -1;
      assert.equal(found, index, `frame ${frame} at ${x},${y} filter '${filter}'`);
    }
  });
}

test('movie paths resolve against the page folder as the control resolves them', () => {
  const page = 'http://example.test/films/page.html?x=a/b#c';
  const cases = [
    ['clip.mp4', 'http://example.test/films/clip.mp4'],
    ['/clip.mp4', 'http://example.test/films/clip.mp4'],
    ['sub/clip.mp4', 'http://example.test/films/sub/clip.mp4'],
    ['https://other.test/clip.mp4', 'https://other.test/clip.mp4'],
    ['C:\\media\\clip.avi', 'C:\\media\\clip.avi'],
    ['\\\\server\\share\\clip.avi', 'file://\\\\server\\share\\clip.avi'],
  ];
  for (const [path, want] of cases) assert.equal(resolveMoviePath(path, page), want, path);
  assert.equal(resolveMoviePath('clip.mp4', ''), 'clip.mp4');
});

test('the anchor file is the movie path with its last extension replaced', () => {
  assert.equal(anchorFilePath('http://h.test/a.b/clip.x.mp4'), 'http://h.test/a.b/clip.x.obj');
  assert.equal(anchorFilePath('http://h.test/a.b/clip'), 'http://h.test/a.b/clip.obj');
  assert.equal(anchorFilePath('my%20clip.webm'), 'my%20clip.obj');
});

test('a seek lands in the middle of the frame and every time maps back to its frame', () => {
  for (const fps of [25, 30000 / 1001, 24, 60]) {
    for (let n = 0; n < 2000; n += 7) {
      const t = timeOfFrame(n, fps);
      assert.ok(t > n / fps && t < (n + 1) / fps);
      assert.equal(frameAtTime(t, fps), n, `fps ${fps} frame ${n}`);
      // Presentation times as containers store them: rounded to milliseconds.
      assert.equal(framePresentedAt(Math.round((n / fps) * 1000) / 1000, fps), n);
      assert.equal(frameAtTime(n / fps, fps), n);
    }
  }
});
