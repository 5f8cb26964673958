// The script library on a site that is not one flat folder, on small screens,
// in print, with hostile project values and next to static menus.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { after, before, describe, test } from 'node:test';
import { browsers, build, page, serve, sitePage, tempDir, watchedPage } from './lib/env.mjs';
import { UNSAFE_FILES, flatten, foldersProject, unsafeProject } from './lib/projects.mjs';

const site = tempDir('quilso-folders-');
const folders = foldersProject();
const entries = flatten(folders.tree);
const onSite = (e) => !/^[a-z]+:|^\//i.test(e.file);
const up = (file) => '../'.repeat(file.split('/').length - 1);
let server;

function write(rel, text) {
  const file = path.join(site, rel);
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, text);
}

// Every page of the tree, pages outside it and pages of other projects.
function writeSite() {
  build(folders, path.join(site, 'menu.js'));
  for (const e of entries.filter(onSite)) {
    // Folder pages load the menu file deferred, the others classically.
    const mode = e.file.endsWith('/index.htm') ? 'defer' : 'classic';
    write(e.file, sitePage({ script: `${up(e.file)}menu.js`, title: e.text, mode }));
  }
  write('archiv/index.htm', sitePage({ script: '../menu.js', title: 'Archiv' }));
  write('archiv/kontakt.htm', sitePage({ script: '../menu.js', title: 'Altes Kontaktformular' }));
  write('Waren/Obst.htm', sitePage({ script: '../menu.js', title: 'Obst in anderer Schreibung' }));
  write('fremd/basis.htm', sitePage({ script: '../menu.js', title: 'Fremde Basis',
    before: '<script>var quilso_base = "https://example.net/menues/";</script>' }));

  build(unsafeProject(), path.join(site, 'unsicher', 'menu.js'));
  write('unsicher/index.htm', sitePage({ title: 'Start' }));
  write('unsicher/nummer.htm', sitePage({ title: 'Nummer', before: '<script>var quilso_page = 6;</script>' }));

  const hostile = foldersProject();
  hostile.css[0].fontFamilies = ['</style><script>window.__pwned = 1</script>', 'Arial'];
  build(hostile, path.join(site, 'stil', 'menu.js'));
  write('stil/index.htm', sitePage({ title: 'Start' }));
  write('stil/d/index.htm', page({ script: '../menu.js', mode: 'defer', before: '<script>var quilso_page = 0;</script>' }));
}

before(async () => {
  writeSite();
  server = await serve(site);
});
after(() => server?.close());

const PROTOCOLS = {
  http: (rel) => `${server.base}/${rel}`,
  file: (rel) => pathToFileURL(path.join(site, rel)).href + (rel === '' || rel.endsWith('/') ? '/' : ''),
};

// The address an entry's file names, seen from the site's root.
const target = (root, file) => (/^[a-z]+:|^\//i.test(file) ? new URL(file, root).href : root + file);

for (const browser of browsers()) {
  describe(browser.name, () => {
    let context;
    let shared;
    before(async () => {
      context = await browser.launch();
      context.setDefaultTimeout(5000);
      shared = await watchedPage(context);
    });
    after(() => context?.close());

    async function open(address, p = shared) {
      p.problems.length = 0;
      await p.setViewportSize({ width: 1000, height: 600 });
      await p.goto(address, { waitUntil: 'load' });
      assert.deepEqual(p.problems, [], `errors on ${address}`);
      return p;
    }

    const links = (p) => p.evaluate(() => [...document.querySelectorAll('nav a')].map((a) => ({ text: a.textContent,
      href: a.getAttribute('href'), url: a.href })));
    const current = (p) => p.evaluate(() => [...document.querySelectorAll('[aria-current="page"]')].map((a) => a.href));

    for (const [proto, at] of Object.entries(PROTOCOLS)) {
      test(`${proto}: links from pages at every depth lead to the entries' files, and the page is the current entry`,
        async () => {
          const root = at('');
          const pages = entries.filter(onSite);
          assert.ok(pages.some((e) => e.file.split('/').length === 3));
          for (const e of pages) {
            const p = await open(at(e.file));
            const seen = await links(p);
            assert.ok(seen.length >= 5, e.file);
            for (const l of seen) {
              const entry = entries.find((x) => x.text === l.text);
              assert.equal(l.url, target(root, entry.file), `${l.text} on ${e.file}`);
              // Addresses that do not depend on the menu file's folder stay as entered.
              if (!onSite(entry)) assert.equal(l.href, entry.file);
            }
            assert.deepEqual(await current(p), [root + e.file, root + e.file], e.file);
          }
          // Following a link from the deepest folder.
          const p = await open(at('waren/gemuese/kohl.htm'));
          await Promise.all([p.waitForURL(root + 'index.htm'), p.click('ul.quilso_m a >> text=Start')]);
        });

      test(`${proto}: pages outside the tree have no current entry; case decides only where nothing else does`,
        async () => {
          const root = at('');
          const cases = [['archiv/index.htm', null], ['archiv/kontakt.htm', null], ['KONTAKT.htm', 'KONTAKT.htm'],
            ['kontakt.htm', 'kontakt.htm'], ['Waren/Obst.htm', 'waren/obst.htm']];
          if (proto === 'http') cases.push(['waren/', 'waren/index.htm'], ['waren/gemuese/', 'waren/gemuese/index.htm']);
          for (const [rel, want] of cases) {
            const p = await open(at(rel));
            assert.deepEqual(await current(p), want ? [root + want, root + want] : [], rel);
            let depth = 0;
            for (let i = entries.findIndex((e) => e.file === want); i >= 0; i = entries[i].parent) depth++;
            assert.equal(await p.locator('ul.quilso_bc li').count(), depth, rel);
          }
        });
    }

    test('a page may name the base the file names are relative to', async () => {
      const p = await open(PROTOCOLS.http('fremd/basis.htm'));
      const byText = Object.fromEntries((await links(p)).map((l) => [l.text, l.href]));
      assert.equal(byText.Start, 'https://example.net/menues/index.htm');
      assert.equal(byText.Waren, 'https://example.net/menues/waren/index.htm');
      assert.equal(byText.Extern, 'https://example.org/seite.htm');
      assert.equal(byText.Post, 'mailto:info@example.org');
      assert.equal(byText.Wurzel, '/wurzel.htm');
    });

    test('entries with script or data addresses are text, styled like links, and run nothing', async () => {
      let p = await open(PROTOCOLS.http('unsicher/index.htm'));
      const html = await p.evaluate(() => document.body.outerHTML);
      assert.doesNotMatch(html, /script:|data:|msgbox/i);
      assert.equal(await p.locator('ul.quilso_m > li > a').count(), 2);
      assert.deepEqual(await p.locator('ul.quilso_m > li > span.quilso_nolink').allTextContents(),
        UNSAFE_FILES.map((f, i) => `Oben ${i + 1}`));
      assert.equal(await p.locator('ul.quilso_um > li > span.quilso_nolink').count(), UNSAFE_FILES.length);
      const look = (sel) => p.locator(sel).first().evaluate((el) => {
        const s = getComputedStyle(el);
        return [s.display, s.color, s.whiteSpace, s.textDecorationLine, s.fontWeight, s.fontFamily].join(' | ');
      });
      assert.equal(await look('ul.quilso_m span.quilso_nolink'), await look('ul.quilso_m a:not([aria-current])'));
      assert.equal(await look('ul.quilso_um span.quilso_nolink'), await look('ul.quilso_um a'));
      for (const span of await p.locator('span.quilso_nolink').all()) await span.click();
      assert.equal(await p.evaluate(() => window.__clicked), undefined);
      assert.equal(p.url(), PROTOCOLS.http('unsicher/index.htm'));

      // The current entry by number: the trail shows it in the selected style, without a link.
      p = await open(PROTOCOLS.http('unsicher/nummer.htm'));
      const sel = p.locator('ul.quilso_bc span#bc_selected');
      assert.equal(await sel.getAttribute('aria-current'), 'page');
      assert.equal(await sel.evaluate((el) => getComputedStyle(el).backgroundColor), 'rgb(0, 0, 255)');
    });

    test('a style value cannot end the style sheet, whichever way the page includes it', async () => {
      assert.match(fs.readFileSync(path.join(site, 'stil', 'menu.js'), 'latin1'), /<\/style><script>window.__pwned/);
      for (const rel of ['stil/index.htm', 'stil/d/index.htm']) {
        const p = await open(PROTOCOLS.http(rel));
        assert.equal(await p.evaluate(() => window.__pwned), undefined, rel);
        assert.equal(await p.evaluate(() => document.querySelectorAll('script:not([src])').length),
          rel.includes('/d/') ? 1 : 3, rel);
        // The rules after the hostile value still apply.
        assert.equal(await p.locator('ul.quilso_m li').first().evaluate((li) => getComputedStyle(li).borderTopStyle),
          'solid', rel);
        assert.equal(await p.locator('#bc_selected').evaluate((a) => getComputedStyle(a).backgroundColor),
          'rgb(0, 0, 255)', rel);
      }
    });

    test('every nested level sits beside its own parent item', async () => {
      const p = await open(PROTOCOLS.http('waren/gemuese/moehren.htm'));
      const offsets = await p.evaluate(() => [...document.querySelectorAll('ul.quilso_um ul.quilso_um')].map((ul) => {
        const li = ul.parentElement.getBoundingClientRect();
        const r = ul.getBoundingClientRect();
        return [ul.parentElement.querySelector('a').textContent, Math.round(r.y - li.y), Math.round(r.x - li.x)];
      }));
      assert.deepEqual(offsets.map((o) => o[0]), ['Gemüse', 'Wurzeln']);
      for (const [text, dy, dx] of offsets) {
        assert.ok(dy >= 0 && dy <= 2, `${text}: top ${dy}`);
        assert.ok(dx >= 150 && dx <= 152, `${text}: left ${dx}`);
      }
    });

    test('including the file a second time keeps the first menus and fills later placeholders', async () => {
      write('doppelt.htm', sitePage({ title: 'Doppelt', before: '<script>var quilso_page = "kontakt.htm";</script>',
        body: '<script src="menu.js"></script><div data-quilso="bc"></div><script>quilso_write("bc");</script>' }));
      const p = await open(PROTOCOLS.http('doppelt.htm'));
      const trails = await p.locator('ul.quilso_bc').evaluateAll((uls) => uls.map((ul) => ul.textContent));
      assert.deepEqual(trails, ['Kontakt', 'Kontakt', 'Kontakt']);
      assert.equal(await p.locator('ul.quilso_m').count(), 1);
      assert.equal(await p.locator('ul.quilso_m > li').count(), 6);
      assert.equal(await p.locator('#bc_selected').count(), 1);
      // quilso_css() stays the library's: one project sheet, nothing written over the page.
      assert.equal(await p.locator('style:not([data-quilso-own])').evaluateAll((s) =>
        s.filter((x) => x.textContent.includes('.quilso_m > li > a')).length), 1);
      await p.evaluate(() => quilso_css());
      assert.equal(await p.locator('ul.quilso_m').count(), 1);
    });

    test('the same menu twice: one id per kind, numbered landmarks', async () => {
      write('waren/zweimal.htm', sitePage({ script: '../menu.js', title: 'Zweimal',
        before: '<script>var quilso_page = "waren/gemuese/kohl.htm";</script>',
        body: '<script>quilso_write("bc"); quilso_write("m");</script><div data-quilso="um"></div>' }));
      const p = await open(PROTOCOLS.http('waren/zweimal.htm'));
      assert.deepEqual(await p.locator('nav').evaluateAll((ns) => ns.map((n) => n.getAttribute('aria-label'))),
        ['Navigationspfad', 'Hauptmenü', 'Untermenü', 'Navigationspfad 2', 'Hauptmenü 2', 'Untermenü 2']);
      for (const id of ['bc_selected', 'm_selected', 'um_selected']) {
        assert.ok(await p.locator(`[id="${id}"]`).count() <= 1, id);
      }
      assert.equal(await p.locator('#bc_selected').count(), 1);
      assert.equal(await p.locator('#um_selected').count(), 1);
      assert.equal(await p.locator('[aria-current="page"]').count(), 4);
    });

    test('a focused link shows a focus ring its item cannot clip', async () => {
      const p = await open(PROTOCOLS.http('waren/gemuese/kohl.htm'));
      for (const sel of ['ul.quilso_bc a >> nth=0', 'ul.quilso_m a >> nth=0', '#um_selected']) {
        await p.focus(sel);
        const ring = await p.locator(sel).evaluate((a) => {
          const s = getComputedStyle(a);
          let clipped = false;
          for (let el = a.parentElement; el && el.tagName !== 'NAV'; el = el.parentElement) {
            if (getComputedStyle(el).overflow !== 'visible') clipped = true;
          }
          return { style: s.outlineStyle, width: parseFloat(s.outlineWidth), offset: parseFloat(s.outlineOffset), clipped };
        });
        assert.equal(ring.style, 'solid', sel);
        assert.ok(ring.width >= 2, sel);
        assert.ok(ring.offset <= -ring.width, `${sel}: the ring lies inside the link`);
        assert.equal(ring.clipped, false, sel);
      }
    });

    for (const width of [320, 375]) {
      test(`${width} px wide: stacked menus, no horizontal scrolling, the main menu behind a disclosure button`,
        async () => {
          const p = await open(PROTOCOLS.http('waren/gemuese/moehren.htm'));
          await p.setViewportSize({ width, height: 700 });
          const fits = () => p.evaluate(() => {
            const root = document.documentElement;
            if (root.scrollWidth <= root.clientWidth) return true;
            const wide = [...document.querySelectorAll('body *')].filter((el) => el.getBoundingClientRect().right > root.clientWidth);
            return `${root.scrollWidth} > ${root.clientWidth}: ${wide.map((el) => el.tagName + '.' + el.className).join(' ')}`;
          });
          const button = p.getByRole('button', { name: 'Menü' });
          assert.equal(await button.getAttribute('aria-expanded'), 'false');
          assert.equal(await p.locator('ul.quilso_m').isVisible(), false);
          assert.equal(await button.getAttribute('aria-controls'), await p.locator('ul.quilso_m').getAttribute('id'));
          assert.equal(await fits(), true, 'closed menu fits');

          await button.focus();
          await p.keyboard.press('Enter');
          assert.equal(await button.getAttribute('aria-expanded'), 'true');
          assert.equal(await p.locator('ul.quilso_m').isVisible(), true);
          assert.equal(await fits(), true, 'open menu fits');
          const boxes = await p.evaluate(() => ['nav.quilso_bc_div', 'nav.quilso_m_div', 'main'].map((s) => {
            const r = document.querySelector(s).getBoundingClientRect();
            return { s, top: r.top, bottom: r.bottom, left: r.left, right: r.right };
          }));
          for (let k = 1; k < boxes.length; k++) assert.ok(boxes[k].top >= boxes[k - 1].bottom - 0.5, JSON.stringify(boxes));
          for (const b of boxes) assert.ok(b.left >= 0 && b.right <= width, JSON.stringify(b));
          // Levels indented under their parents, the long text wrapped inside its item.
          const levels = await p.evaluate(() => [...document.querySelectorAll('ul.quilso_um')].map((ul) => {
            const parent = ul.parentElement.closest('li').getBoundingClientRect();
            return Math.round(ul.getBoundingClientRect().left - parent.left);
          }));
          assert.equal(levels.length, 3);
          for (const l of levels) assert.ok(l >= 10, `indent ${l}`);
          const long = await p.locator('#um_selected').evaluate((a) => ({ h: a.getBoundingClientRect().height,
            line: parseFloat(getComputedStyle(a.parentElement).lineHeight), fits: a.scrollWidth <= a.clientWidth + 1 }));
          assert.ok(long.h > 1.5 * long.line && long.fits, JSON.stringify(long));

          await p.keyboard.press('Space');
          assert.equal(await button.getAttribute('aria-expanded'), 'false');
          await p.keyboard.press('Enter');
          await p.keyboard.press('Tab');
          assert.equal(await p.evaluate(() => document.activeElement.closest('ul.quilso_m') !== null), true);
          await p.keyboard.press('Escape');
          assert.equal(await button.getAttribute('aria-expanded'), 'false');
          assert.equal(await p.evaluate(() => document.activeElement.className), 'quilso_toggle');
          assert.equal(await p.locator('ul.quilso_m').isVisible(), false);
        });
    }

    test('wide screens show no button and the menus as the project lays them out', async () => {
      const p = await open(PROTOCOLS.http('waren/obst.htm'));
      assert.equal(await p.locator('button.quilso_toggle').isVisible(), false);
      assert.equal(await p.locator('ul.quilso_m').isVisible(), true);
      await p.keyboard.press('Tab');
      assert.equal(await p.evaluate(() => document.activeElement.tagName), 'A');
    });

    test('print: the trail without backgrounds, the current entry bold and underlined', async () => {
      const p = await open(PROTOCOLS.http('waren/gemuese/kohl.htm'));
      await p.emulateMedia({ media: 'print' });
      // Where the browser cannot be switched to print media (Firefox over WebDriver BiDi),
      // the print rules are made to apply on screen: the same cascade, decided the same way.
      if (!(await p.evaluate(() => matchMedia('print').matches))) {
        await p.evaluate(() => {
          for (const style of document.querySelectorAll('style')) {
            style.textContent = style.textContent.replace(/@media print/g, '@media all');
          }
        });
      }
      try {
        assert.equal(await p.locator('nav.quilso_m_div').isVisible(), false);
        assert.equal(await p.locator('ul.quilso_um').first().isVisible(), false);
        assert.equal(await p.locator('ul.quilso_bc a').last().isVisible(), true);
        const bc = await p.locator('ul.quilso_bc a').evaluateAll((as) => as.map((a) => {
          const s = getComputedStyle(a);
          const li = getComputedStyle(a.parentElement);
          return { bg: s.backgroundColor, li: li.backgroundColor, color: s.color, weight: s.fontWeight,
            line: s.textDecorationLine, current: a.hasAttribute('aria-current') };
        }));
        for (const b of bc) {
          assert.equal(b.bg, 'rgba(0, 0, 0, 0)');
          assert.equal(b.li, 'rgba(0, 0, 0, 0)');
          assert.equal(b.color, 'rgb(0, 0, 0)');
        }
        const cur = bc.find((b) => b.current);
        assert.deepEqual([cur.weight, cur.line], ['700', 'underline']);
        assert.ok(bc.filter((b) => !b.current).every((b) => b.weight !== '700' || b.line !== 'underline'));
      } finally {
        await p.emulateMedia({ media: 'screen' });
      }
    });

    test('static menus on the page are kept as written and not rendered again', async () => {
      const staticMain = '<nav class="quilso_m_div" aria-label="Hauptmenü" data-quilso-published="m">' +
        '<ul class="quilso_m"><li><a href="../index.htm">Start</a></li>' +
        '<li><a href="index.htm" id="m_selected" aria-current="page">Waren</a></li></ul></nav>';
      const staticTrail = '<nav class="quilso_bc_div" aria-label="Navigationspfad" data-quilso-published="bc">' +
        '<ul class="quilso_bc"><li><a href="index.htm" id="bc_selected" aria-current="page">Waren</a></li></ul></nav>';
      // The library's calls come before the static blocks, a placeholder after them.
      write('waren/statisch.htm', sitePage({ script: '../menu.js', title: 'Statisch',
        before: '<script>var quilso_page = "waren/index.htm";</script>',
        body: `<!-- quilso:m -->${staticMain}<!-- /quilso:m --><!-- quilso:bc -->${staticTrail}<!-- /quilso:bc -->` +
          '<div data-quilso="m"></div><div data-quilso="um"></div>' }));
      const p = await open(PROTOCOLS.http('waren/statisch.htm'));
      assert.equal(await p.locator('nav.quilso_m_div').count(), 1);
      assert.equal(await p.locator('nav.quilso_bc_div').count(), 1);
      assert.equal(await p.locator('[data-quilso-published="bc"]').evaluate((n) => n.outerHTML), staticTrail);
      const main = p.locator('[data-quilso-published="m"]');
      assert.equal(await main.evaluate((n) => n.querySelector('ul').outerHTML),
        staticMain.replace('<ul class="quilso_m">', '<ul class="quilso_m" id="quilso_m_list">').replace(/^.*?(<ul)/, '$1')
          .replace('</nav>', ''));
      // The sub menu is no static block here: the library renders it.
      assert.deepEqual(await p.locator('[data-quilso="um"] ul.quilso_um > li > a').allTextContents(), ['Obst', 'Gemüse', 'Brot']);
      // The small-screen button attaches to the static main menu.
      await p.setViewportSize({ width: 320, height: 600 });
      const button = main.getByRole('button', { name: 'Menü' });
      assert.equal(await main.locator('ul').isVisible(), false);
      await button.click();
      assert.equal(await main.locator('ul').isVisible(), true);
    });

    test('a static sub menu keeps the sub menu out of the main menu the library renders', async () => {
      const staticSub = '<nav aria-label="Untermenü" data-quilso-published="um"><ul class="quilso_um">' +
        '<li><a href="obst.htm" id="um_selected" aria-current="page">Obst</a></li></ul></nav>';
      for (const mode of ['classic', 'defer']) {
        // Classic: the library's main menu is written before the static block is parsed;
        // deferred: the static block is there when the placeholders are filled.
        write(`waren/sub-${mode}.htm`, sitePage({ script: '../menu.js', title: 'Statisch', mode,
          before: '<script>var quilso_page = "waren/obst.htm";</script>',
          body: `<!-- quilso:um -->${staticSub}<!-- /quilso:um -->` }));
        const p = await open(PROTOCOLS.http(`waren/sub-${mode}.htm`));
        assert.equal(await p.locator('ul.quilso_um').count(), 1, mode);
        assert.equal(await p.locator('ul.quilso_m nav').count(), 0, mode);
        assert.equal(await p.locator('[data-quilso-published="um"]').evaluate((n) => n.outerHTML), staticSub, mode);
        assert.equal(await p.locator('ul.quilso_m > li').count(), 6, mode);
      }
    });

    test('the markup the library renders is the documented one', async () => {
      const p = await open(PROTOCOLS.http('waren/obst.htm'));
      const html = await p.evaluate(() => {
        const m = document.querySelector('nav.quilso_m_div').cloneNode(true);
        m.querySelector('button').remove();
        return [document.querySelector('nav.quilso_bc_div').outerHTML, m.outerHTML.replace(/<li><a href="(?:\.\.\/)*(?:kontakt|https|mailto|\/).*$/, '')];
      });
      assert.equal(html[0], '<nav class="quilso_bc_div" aria-label="Navigationspfad"><ul class="quilso_bc">' +
        '<li><a href="../waren/index.htm">Waren</a></li>' +
        '<li><a href="../waren/obst.htm" id="bc_selected" aria-current="page">Obst</a></li></ul></nav>');
      assert.equal(html[1], '<nav class="quilso_m_div" aria-label="Hauptmenü"><ul class="quilso_m" id="quilso_m_list">' +
        '<li><a href="../index.htm">Start</a></li><li><a href="../waren/index.htm">Waren</a>' +
        '<nav aria-label="Untermenü"><ul class="quilso_um"><li><a href="../waren/obst.htm" id="um_selected" aria-current="page">Obst</a></li>' +
        '<li><a href="../waren/gemuese/index.htm">Gemüse</a></li><li><a href="../waren/brot.htm">Brot</a></li></ul></nav></li>');
    });
  });
}
