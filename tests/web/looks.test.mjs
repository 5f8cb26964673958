// Every ready-made look on the demo site: no serious or critical accessibility finding at rest,
// with a link hovered and with a link focused, and the focused link visibly marked.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { AXE, ROOT, browsers, build, readJson, serve, tempDir, watchedPage } from './lib/env.mjs';

const site = tempDir('quilso-looks-');
const LOOKS = path.join(ROOT, 'data', 'styles');
const looks = fs.readdirSync(LOOKS).filter((f) => f.endsWith('.json')).map((f) => f.slice(0, -5)).sort();
// The start page and a page two folders down, where all three menus have entries.
const PAGES = ['index.htm', 'filialen/berlin/anfahrt.htm'];
let server;

before(async () => {
  const demo = readJson(path.join(ROOT, 'examples', 'demo', 'menu.json'));
  looks.forEach((name, i) => {
    const dir = path.join(site, `look${i}`);
    fs.cpSync(path.join(ROOT, 'examples', 'demo'), dir, { recursive: true });
    build({ ...demo, css: readJson(path.join(LOOKS, `${name}.json`)).css }, path.join(dir, 'menu.js'));
  });
  server = await serve(site);
});
after(() => server?.close());

test('at least eight looks are shipped', () => assert.ok(looks.length >= 8, looks.join(', ')));

for (const browser of browsers()) {
  describe(browser.name, () => {
    let context;
    let p;
    before(async () => {
      context = await browser.launch();
      context.setDefaultTimeout(5000);
      p = await watchedPage(context);
    });
    after(() => context?.close());

    const axe = async (state) => {
      const result = await p.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
      return result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
        .map((v) => `${state} ${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`);
    };
    // Whether the focused element is drawn differently from the same element unfocused.
    const focusShows = () => p.evaluate(() => {
      const el = document.activeElement;
      const look = () => { const s = getComputedStyle(el); return [s.outlineStyle, s.outlineWidth, s.color, s.backgroundColor, s.boxShadow, s.textDecorationLine].join('|'); };
      const focused = look();
      el.blur();
      const rest = look();
      el.focus();
      return focused !== rest;
    });

    looks.forEach((name, i) => {
      test(`${name}: readable at rest, hovered and focused`, async () => {
        const found = [];
        for (const file of PAGES) {
          p.problems.length = 0;
          await p.goto(`${server.base}/look${i}/${file}`, { waitUntil: 'load' });
          await p.addScriptTag({ path: AXE });
          found.push(...await axe(`${file} rest`));
          for (const sel of ['ul.quilso_m > li > a:not([aria-current])', 'ul.quilso_bc a', 'ul.quilso_um a:not([aria-current])']) {
            const link = p.locator(sel).first();
            if (!(await link.count())) continue;
            await link.hover();
            found.push(...await axe(`${file} hover ${sel}`));
            await link.focus();
            found.push(...await axe(`${file} focus ${sel}`));
            assert.ok(await focusShows(), `${name} ${file}: focus on ${sel} is not visible`);
            await link.blur();
          }
          await p.mouse.move(990, 590);
          assert.deepEqual(p.problems, [], `${name} ${file}`);
        }
        assert.deepEqual(found, [], name);
      });
    });
  });
}
