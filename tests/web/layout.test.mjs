// What a visitor sees of the menus wherever they are placed: a sub menu inside the main menu
// looks as it does on its own, with the library and published alike; published pages fit
// small screens without any script.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { CLI, browsers, build, defaultModel, serve, tempDir, watchedPage } from './lib/env.mjs';
import { flatten, foldersProject } from './lib/projects.mjs';

const site = tempDir('quilso-layout-');
let server;

function write(rel, text) {
  const file = path.join(site, rel);
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, text);
}

// A main menu in white on #333 that hovers in #FFCC00, and the default sub menu.
const dark = defaultModel();
Object.assign(dark.css[0], { color: 'FFFFFF', backgroundColor: '333333', colorHover: 'FFCC00' });
dark.tree = [
  { text: 'Start', file: 'index.htm', children: [] },
  { text: 'Produkte', file: 'produkte.htm', children: [
    { text: 'Teil A', file: 'a.htm', children: [] },
    { text: 'Teil B', file: 'b.htm', children: [] },
  ] },
  { text: 'Kontakt', file: 'kontakt.htm', children: [] },
];

// The same with a sub menu in grey without a background of its own: inside the main menu's
// item (where it lies on small screens) it shows the item's #333.
const faint = structuredClone(dark);
Object.assign(faint.css[1], { color: '555555', backgroundColor: 'transparent' });

// `kinds` in page order; "live" pages let the library render them, the others carry markers
// for publish and no library.
function darkPage(live, kinds) {
  const head = live ? '<script src="menu.js"></script><script>quilso_css();</script>'
    : '<!-- quilso:css --><!-- /quilso:css -->';
  const place = (k) => (live ? `<script>quilso_write("${k}");</script>` : `<!-- quilso:${k} --><!-- /quilso:${k} -->`);
  return `<!DOCTYPE html>
<html lang="de"><head><meta charset="utf-8"><title>Teil</title><link rel="icon" href="data:,">
${head}</head><body>
<div style="position:relative; display:flow-root">${kinds.map(place).join('\n')}
<main style="margin-left:480px"><h1>Teil</h1></main></div>
</body></html>
`;
}

// The site of the folders project, published, laid out as a site that serves phones: the
// content beside the menus on wide screens and below them on narrow ones.
function phonePage(title) {
  return `<!DOCTYPE html>
<html lang="de"><head><meta charset="utf-8"><meta name="viewport" content="width=device-width, initial-scale=1">
<title>${title}</title><link rel="icon" href="data:,">
<style>body { margin: 0; font-family: sans-serif; } header, .rahmen { display: flow-root; padding: 8px; }
.rahmen { position: relative; } main { margin-left: 480px; overflow-wrap: break-word; }
@media (max-width: 599.98px) { main { margin-left: 0; clear: both; } }</style>
<!-- quilso:css --><!-- /quilso:css -->
</head><body>
<header><!-- quilso:bc --><!-- /quilso:bc --></header>
<div class="rahmen"><!-- quilso:m --><!-- /quilso:m -->
<main><h1>${title}</h1><p>Inhalt der Seite.</p></main></div>
</body></html>
`;
}

const phoneProject = foldersProject();
const phonePages = flatten(phoneProject.tree).map((e) => e.file).filter((f) => !/^[a-z]+:|^\//i.test(f));

before(async () => {
  build(dark, path.join(site, 'live', 'menu.js'));
  write('live/a.htm', darkPage(true, ['m']));
  write('live/b.htm', darkPage(true, ['m', 'um']));
  build(dark, path.join(site, 'static', 'menu.js'));
  write('static/a.htm', darkPage(false, ['m']));
  write('static/b.htm', darkPage(false, ['m', 'um']));
  execFileSync(CLI, ['publish', path.join(site, 'static', 'menu.js')], { encoding: 'utf8' });

  build(faint, path.join(site, 'faint', 'menu.js'));
  write('faint/a.htm', darkPage(false, ['m']));
  write('faint/b.htm', darkPage(false, ['m', 'um']));
  execFileSync(CLI, ['publish', path.join(site, 'faint', 'menu.js')], { encoding: 'utf8' });

  build(phoneProject, path.join(site, 'phone', 'menu.js'));
  for (const rel of phonePages) write(`phone/${rel}`, phonePage(rel));
  execFileSync(CLI, ['publish', path.join(site, 'phone', 'menu.js')], { encoding: 'utf8' });
  server = await serve(site);
});
after(() => server?.close());

// The sub menu's contrast findings of check, as [state, inside, colour, background].
function subContrasts(dir) {
  // Some pages are missing: check exits with 1 for them, the colours are rated all the same.
  const run = spawnSync(CLI, ['check', '--json', path.join(site, dir, 'menu.js')], { encoding: 'utf8' });
  const out = JSON.parse(run.stdout);
  assert.ok(out.findings.length > 0, run.stderr);
  return out.findings.filter((f) => f.kind === 'low-contrast' && f.menu === 'um')
    .map((f) => [f.state, f.inside || '', f.color, f.background]);
}

test('check finds no colour pair of the sub menu too weak, in either placement', () => {
  assert.deepEqual(subContrasts('live'), []);
});

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

    // Text colour and the first background behind the link that is not transparent, as
    // [r, g, b] lists, at rest, hovered and focused.
    async function subLinkColours(url) {
      await p.goto(url, { waitUntil: 'load' });
      const link = p.locator('ul.quilso_um a:not([aria-current])').first();
      const read = () => link.evaluate((a) => {
        const rgb = (s) => s.match(/[\d.]+/g).slice(0, 3).map(Number);
        let bg = [255, 255, 255];
        for (let el = a; el; el = el.parentElement) {
          const c = getComputedStyle(el).backgroundColor;
          if (c !== 'transparent' && !/rgba\(.*, 0\)$/.test(c)) {
            bg = rgb(c);
            break;
          }
        }
        return { color: rgb(getComputedStyle(a).color), background: bg };
      });
      const rest = await read();
      await link.hover();
      const hover = await read();
      const view = p.viewportSize();
      await p.mouse.move(view.width - 1, view.height - 1);
      await link.focus();
      const focus = await read();
      await link.blur();
      return { rest, hover, focus };
    }

    const ratio = ({ color, background }) => {
      const lum = (c) => {
        const [r, g, b] = c.map((v) => {
          const s = v / 255;
          return s <= 0.04045 ? s / 12.92 : ((s + 0.055) / 1.055) ** 2.4;
        });
        return 0.2126 * r + 0.7152 * g + 0.0722 * b;
      };
      const [a, b] = [lum(color), lum(background)].sort((x, y) => y - x);
      return (a + 0.05) / (b + 0.05);
    };

    for (const kind of ['live', 'static']) {
      test(`${kind}: a sub menu inside the main menu has the colours it has on its own`, async () => {
        const inside = await subLinkColours(`${server.base}/${kind}/a.htm`);
        const own = await subLinkColours(`${server.base}/${kind}/b.htm`);
        assert.deepEqual(inside, own);
        for (const [state, pair] of Object.entries(inside)) {
          assert.ok(ratio(pair) >= 4.5, `${state}: ${JSON.stringify(pair)} ${ratio(pair).toFixed(2)}:1`);
        }
      });
    }

    test('check rates the pair a visitor sees of a sub menu inside the main menu on a small screen', async () => {
      const hex = (c) => c.map((v) => v.toString(16).padStart(2, '0')).join('').toUpperCase();
      await p.setViewportSize({ width: 375, height: 700 });
      try {
        const inside = await subLinkColours(`${server.base}/faint/a.htm`);
        const own = await subLinkColours(`${server.base}/faint/b.htm`);
        const seen = [['normal', inside.rest], ['hover', inside.hover]].map(([state, pair]) =>
          [state, 'm', hex(pair.color), hex(pair.background)]);
        assert.deepEqual(subContrasts('faint'), seen);
        assert.deepEqual(seen[0].slice(2), ['555555', '333333']);
        // On its own, on the page's white, the same grey reads well: nothing to report there.
        assert.deepEqual([hex(own.rest.color), hex(own.rest.background)], ['555555', 'FFFFFF']);
      } finally {
        await p.setViewportSize({ width: 1000, height: 600 });
      }
    });

    test('the css block carries the library\'s own rules, but the button\'s', async () => {
      // Every rule as [media condition, rule text], as the browser reads them.
      const rules = (selector) => p.evaluate((sel) => [...document.querySelectorAll(sel)].flatMap((style) =>
        [...style.sheet.cssRules].flatMap((r) => (r.media ? [...r.cssRules].map((i) => [r.media.mediaText, i.cssText])
          : [['', r.cssText]]))), selector);
      await p.goto(`${server.base}/live/a.htm`, { waitUntil: 'load' });
      const own = (await rules('style[data-quilso-own]')).filter(([, text]) => !text.includes('quilso_toggle'));
      await p.goto(`${server.base}/static/a.htm`, { waitUntil: 'load' });
      const published = (await rules('style')).filter(([, text]) => !text.startsWith('.quilso_'));
      assert.ok(own.length >= 10);
      assert.deepEqual(published, own);
    });

    for (const width of [320, 375]) {
      test(`published, scripts off, ${width} px: no page scrolls sideways, the menus shown open`, async () => {
        const off = await browser.launch(browser.name === 'firefox'
          ? { firefoxUserPrefs: { 'javascript.enabled': false } } : { javaScriptEnabled: false });
        try {
          const q = await watchedPage(off);
          await q.setViewportSize({ width, height: 700 });
          for (const rel of phonePages) {
            await q.goto(`${server.base}/phone/${rel}`, { waitUntil: 'load' });
            const fit = await q.evaluate(() => {
              const root = document.documentElement;
              return { scroll: root.scrollWidth, client: root.clientWidth,
                wide: [...document.querySelectorAll('body *')].filter((el) => el.getBoundingClientRect().right > root.clientWidth)
                  .map((el) => el.tagName + '.' + el.className).slice(0, 4) };
            });
            assert.ok(fit.scroll <= fit.client, `${rel}: ${JSON.stringify(fit)}`);
            assert.equal(await q.locator('ul.quilso_m').isVisible(), true, rel);
            // Stacked: the trail, then the menu, then the content.
            const tops = await q.evaluate(() => ['nav.quilso_m_div', 'main'].map((s) => {
              const r = document.querySelector(s).getBoundingClientRect();
              return [r.top, r.bottom];
            }));
            assert.ok(tops[1][0] >= tops[0][1] - 0.5, `${rel}: ${JSON.stringify(tops)}`);
          }
        } finally {
          await off.close();
        }
      });
    }
  });
}
