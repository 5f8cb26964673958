// The script library in real browsers, on menu script files written by quilso-cli.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { after, before, describe, test } from 'node:test';
import { AXE, ROOT, browsers, build, buildText, page, readMenus, serve, tempDir, watchedPage } from './lib/env.mjs';
import { HOSTILE_FILE, deepProject, expectedMenus, flatten, local, stylesProject, tagsProject, textsProject } from './lib/projects.mjs';

const site = tempDir('quilso-site-');
const projects = { deep: deepProject(), texts: textsProject(), tags: tagsProject(), styles: stylesProject() };
let server;

const depthOf = (file) => file.split('/').length - 1;

// Two folders per project, one per placing mode: its menu.js and one page per
// entry, at the entry's file name.
function writeSite() {
  for (const [name, model] of Object.entries(projects)) {
    for (const [mode, suffix] of [['classic', ''], ['defer', '-d']]) {
      const dir = path.join(site, name + suffix);
      build(model, path.join(dir, 'menu.js'));
      for (const e of flatten(model.tree).filter(local)) {
        const file = path.join(dir, e.file);
        fs.mkdirSync(path.dirname(file), { recursive: true });
        fs.writeFileSync(file, page({ script: '../'.repeat(depthOf(e.file)) + 'menu.js', mode, title: e.file }));
      }
    }
  }
  fs.cpSync(path.join(ROOT, 'examples', 'demo'), path.join(site, 'demo'), { recursive: true });
}

before(async () => {
  writeSite();
  server = await serve(site);
});
after(() => server?.close());

const url = (rel) => `${server.base}/${rel.split('/').map(encodeURIComponent).join('/')}`;

test('every menu script file the writer produced parses as a script', () => {
  for (const name of Object.keys(projects)) {
    const source = fs.readFileSync(path.join(site, name, 'menu.js'), 'latin1');
    assert.doesNotThrow(() => new vm.Script(source, { filename: `${name}/menu.js` }), name);
    assert.match(source, /^[\x00-\x7f]*$/, `${name}/menu.js is plain ASCII`);
  }
});

test('the library is plain ASCII and has no line the project reader would take up', () => {
  const lines = fs.readFileSync(path.join(ROOT, 'web', 'quilso_functions.js'), 'latin1').split(/\r?\n/);
  lines.forEach((line, i) => {
    const t = line.trim();
    assert.match(line, /^[\x20-\x7e]*$/, `line ${i + 1}`);
    assert.ok(!t.startsWith('ca['), `line ${i + 1} looks like a menu entry`);
    assert.ok(!/^c\s*=\s*c\s*\+/.test(t), `line ${i + 1} looks like a CSS line`);
    assert.ok(!/^\/\*\s+options\s*$/.test(t), `line ${i + 1} opens an options block`);
  });
});

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

    // One tab for all pages: opening a tab costs more than loading a page.
    async function open(rel, check = true, timeout = 5000) {
      const p = shared;
      p.problems.length = 0;
      await p.goto(url(rel), { waitUntil: 'load', timeout });
      if (check) assert.deepEqual(p.problems, [], `errors on ${rel}`);
      return p;
    }

    test('a syntax error in a menu file is reported, so the checks below can fail', async () => {
      const broken = fs.readFileSync(path.join(site, 'deep', 'menu.js'), 'latin1')
        .replace('"Bereich A"', '"Bereich "A"');
      fs.writeFileSync(path.join(site, 'deep', 'broken.js'), broken, 'latin1');
      fs.writeFileSync(path.join(site, 'deep', 'broken.htm'), page({ script: 'broken.js' }));
      const p = await open('deep/broken.htm', false);
      assert.ok(p.problems.some((s) => /SyntaxError|missing|unexpected|expected/i.test(s)), p.problems.join('\n'));
    });

    for (const name of ['deep', 'texts', 'tags']) {
      test(`${name}: every page shows its branch, in both placing modes`, async () => {
        const entries = flatten(projects[name].tree);
        for (const [i, e] of entries.entries()) {
          if (!local(e)) continue;
          for (const suffix of ['', '-d']) {
            const p = await open(`${name}${suffix}/${e.file}`);
            const got = await readMenus(p);
            const want = expectedMenus(entries, i, depthOf(e.file));
            assert.deepEqual(got.m, want.m, `main menu on ${suffix}${e.file}`);
            assert.deepEqual(got.bc, want.bc, `breadcrumb on ${suffix}${e.file}`);
            assert.equal(await p.locator('[aria-current="page"]').count(), 2, e.file);
          }
        }
      });
    }

    test('menus are <nav> landmarks with German labels, links in tab order', async () => {
      const p = await open('deep/a1.htm');
      const got = await readMenus(p);
      assert.deepEqual(got.navs, ['Navigationspfad', 'Hauptmenü', 'Untermenü']);
      const links = await p.evaluate(() => [...document.querySelectorAll('nav a')].map((a) => a.getAttribute('href')));
      const reached = [];
      for (let k = 0; k < links.length; k++) {
        await p.keyboard.press('Tab');
        reached.push(await p.evaluate(() => document.activeElement.getAttribute('href')));
      }
      assert.deepEqual(reached, links);
    });

    test('texts with tags are markup with isTag, and stay text without it', async () => {
      let p = await open('tags/index.htm');
      assert.equal(await p.locator('.quilso_m li a#m_selected > b').textContent(), 'fett');
      assert.equal(await p.locator('.quilso_um li a > span.neu').textContent(), 'Neu');
      p = await open('texts/tags.htm');
      assert.equal(await p.locator('.quilso_m b, .quilso_um b, .quilso_bc b').count(), 0);
      assert.equal(await p.locator('#um_selected').textContent(), '<b>fett</b> a \u00A0b');
      // Markup-like text must not break the list apart.
      assert.equal(await p.locator('ul.quilso_m > li').count(), 6);
    });

    test('the style sheets carry no type attribute, written in place or added later', async () => {
      for (const rel of ['deep/a1.htm', 'deep-d/a1.htm']) {
        const p = await open(rel);
        assert.ok(await p.locator('style').count() >= 2, rel);
        assert.equal(await p.locator('style[type]').count(), 0, rel);
      }
    });

    test('file names reach the page only as the href attribute', async () => {
      const p = await open('texts/say"hi.htm');
      const a = p.locator('#um_selected');
      assert.equal(await a.getAttribute('href'), 'say"hi.htm');
      assert.equal(await a.textContent(), '"Zitat" und \'Apostroph\'');
      assert.equal(await p.locator('a[href="say\\"hi.htm"]').count(), 2);
      // Links whose text is plain and links whose text is markup.
      for (const rel of ['texts/pfad.htm', 'tags/index.htm']) {
        const q = await open(rel);
        const hrefs = await q.locator('.quilso_m a').evaluateAll((as) => as.map((x) => x.getAttribute('href')));
        assert.equal(hrefs.at(-1), HOSTILE_FILE, rel);
        assert.equal(await q.locator('#injected').count(), 0, rel);
      }
    });

    test('computed styles follow the project, hover and focus alike', async () => {
      const p = await open('styles/a1.htm');
      const style = (sel, prop) => p.locator(sel).first().evaluate((el, pr) => getComputedStyle(el)[pr], prop);
      assert.equal(await style('.quilso_m li', 'fontSize'), '15px');
      assert.equal(await style('.quilso_m li a[href="b.htm"]', 'color'), 'rgb(18, 52, 86)');
      assert.equal(await style('.quilso_m li', 'borderLeftWidth'), '3px');
      assert.equal(await style('.quilso_m li', 'borderLeftStyle'), 'dashed');
      assert.equal(await style('.quilso_m li', 'borderLeftColor'), 'rgb(171, 0, 0)');
      assert.equal(await style('.quilso_m li', 'borderRightStyle'), 'solid');
      assert.equal(await style('.quilso_m li', 'fontWeight'), '700');
      assert.equal(await style('.quilso_um li', 'fontSize'), '18px');
      assert.equal(await style('.quilso_um li', 'backgroundColor'), 'rgb(221, 238, 255)');
      assert.equal(await style('.quilso_um li a[href="a2.htm"]', 'color'), 'rgb(51, 0, 51)');
      assert.equal(await style('#um_selected', 'color'), 'rgb(255, 255, 255)');
      assert.equal(await style('.quilso_bc li a', 'backgroundColor'), 'rgb(255, 221, 221)');
      assert.equal(await style('.quilso_bc li', 'color'), 'rgb(0, 0, 170)');
      assert.equal(await style('#bc_selected', 'backgroundColor'), 'rgb(0, 0, 255)');

      const b = '.quilso_m li a[href="b.htm"]';
      await p.hover(b);
      assert.equal(await style(b, 'color'), 'rgb(0, 170, 0)');
      assert.equal(await style(b, 'backgroundColor'), 'rgb(255, 238, 0)');
      await p.mouse.move(900, 500);
      assert.equal(await style(b, 'color'), 'rgb(18, 52, 86)');
      await p.focus(b);
      assert.equal(await style(b, 'color'), 'rgb(0, 170, 0)');
      await p.locator(b).blur();

      // The main menu's own page: its link carries the selected colours.
      const q = await open('styles/b.htm');
      assert.equal(await q.locator('#m_selected').evaluate((a) => getComputedStyle(a).backgroundColor), 'rgb(0, 128, 0)');
      assert.equal(await q.locator('#m_selected').evaluate((a) => getComputedStyle(a).color), 'rgb(255, 255, 0)');
    });

    test('the sub menu sits as a column right beside the main menu, each deeper level beside its parent', async () => {
      const p = await open('deep-d/e6.htm');
      const box = (sel) => p.locator(sel).first().boundingBox();
      const main = await box('ul.quilso_m');
      const sub = await box('ul.quilso_m ul.quilso_um');
      assert.equal(Math.round(sub.y), Math.round(main.y));
      assert.equal(Math.round(sub.x - main.x), 150);
      // [top, left] of each deeper list against its parent item; the item's border may shift it by a pixel.
      const offsets = await p.evaluate(() => [...document.querySelectorAll('ul.quilso_um ul.quilso_um')].map((ul) => {
        const li = ul.parentElement.getBoundingClientRect();
        const r = ul.getBoundingClientRect();
        return [Math.round(r.y - li.y), Math.round(r.x - li.x)];
      }));
      assert.equal(offsets.length, 4);
      for (const [dy, dx] of offsets) {
        assert.ok(dy >= 0 && dy <= 2, `top ${dy}`);
        assert.ok(dx >= 150 && dx <= 152, `left ${dx}`);
      }
    });

    test('the current page comes from the address or from the page itself', async () => {
      const cases = [
        // [page below the project's folder, file of the current entry or null, inserted before the script]
        ['cur/x/', null, ''],
        ['cur/tief/kapitel/a1x.htm', null, ''],
        ['nirgends.htm', null, ''],
        ['A2.HTM', 'a2.htm', ''],
        ['cur/named.htm', 'b1.htm', '<script>var quilso_page = "b1.htm";</script>\n'],
        ['cur/numbered.htm', 'a1y.htm', '<script>var quilso_page = 7;</script>\n'],
      ];
      for (const [file, want, before] of cases) {
        for (const [mode, folder] of [['classic', 'deep'], ['defer', 'deep-d']]) {
          const dir = path.join(site, folder);
          const target = path.join(dir, file.endsWith('/') ? file + 'index.htm' : file);
          const script = path.relative(path.dirname(target), path.join(dir, 'menu.js'));
          fs.mkdirSync(path.dirname(target), { recursive: true });
          fs.writeFileSync(target, page({ script, mode, before }));
          const p = await open(`${folder}/${file}`);
          const hrefs = (sel) => p.locator(sel).evaluateAll((as) => as.map((a) => a.href));
          const address = want && `${server.base}/${folder}/${want}`;
          assert.deepEqual(await hrefs('#m_selected, #um_selected'), want ? [address] : [], `${mode} ${file}`);
          const trail = await hrefs('.quilso_bc li a');
          if (want) assert.equal(trail.at(-1), address, `${mode} ${file}`);
          else assert.deepEqual(trail, [], `${mode} ${file}`);
          if (!want) assert.equal(await p.locator('.quilso_um').count(), 0);
        }
      }
    });

    test('a sub menu placed on its own leaves the main menu', async () => {
      const dir = path.join(site, 'deep');
      for (const mode of ['classic', 'defer']) {
        fs.writeFileSync(path.join(dir, `eigen-${mode}.htm`), page({ mode, kinds: ['bc', 'm', 'um'],
          before: '<script>var quilso_page = "kapitel/tief/a1x-tief.htm";</script>' }));
        const p = await open(`deep/eigen-${mode}.htm`);
        const got = await readMenus(p);
        assert.equal(await p.locator('ul.quilso_m ul').count(), 0, mode);
        assert.deepEqual(got.um.map((i) => i.text), ['A1', 'A2'], mode);
        assert.deepEqual(got.um[0].sub.items[0].sub.items.map((i) => i.text), ['A1x tief'], mode);
        assert.equal(await p.locator('#um_selected').count(), 1, mode);
      }
    });

    test('hand-edited links that loop or point nowhere still render and end', async () => {
      const source = fs.readFileSync(path.join(site, 'deep', 'menu.js'), 'latin1')
        .replace(/(ca\[1\] = new cr\("[^"]*", "[^"]*", )\d+/, (m, head) => head + '1')            // own next sibling
        .replace(/(ca\[2\] = new cr\("[^"]*", "[^"]*", \d+, )1, \d+/, (m, head) => head + '2, 2') // own parent and child
        .replace(/(ca\[11\] = new cr\("[^"]*", "[^"]*", )cs/, (m, head) => head + '999');          // beyond the array
      assert.equal((source.match(/, 999,|"a1.htm", \d+, 2, 2\)|"a.htm", 1,/g) || []).length, 3);
      fs.writeFileSync(path.join(site, 'deep', 'loop.js'), source, 'latin1');
      fs.writeFileSync(path.join(site, 'deep', 'loop.htm'), page({ script: 'loop.js',
        before: '<script>var quilso_page = 2;</script>' }));
      const p = await open('deep/loop.htm');
      assert.ok(await p.locator('ul.quilso_m > li').count() > 0);
      assert.ok(await p.locator('ul.quilso_bc > li').count() > 0);
    });

    test('a branch deeper than the script stack renders', async () => {
      const depth = 5000;
      const model = deepProject();
      const levels = Array.from({ length: depth }, (_, i) => `{"text":"Ebene ${i}","file":"e${i}.htm","children":[`);
      const chain = levels.join('') + ']}'.repeat(depth);
      const dir = path.join(site, 'chain');
      if (!fs.existsSync(path.join(dir, 'menu.js'))) {
        buildText(JSON.stringify({ ...model, tree: [] }).replace('"tree":[]', `"tree":[${chain}]`), path.join(dir, 'menu.js'));
      }
      // Hidden: this checks the script, not how browsers lay out 15,000 nested boxes.
      fs.writeFileSync(path.join(dir, `e${depth - 1}.htm`), page({ before: '<style>body { display: none; }</style>' }));
      const p = await open(`chain/e${depth - 1}.htm`, true, 30000);
      assert.equal(await p.locator('ul.quilso_bc > li').count(), depth);
      assert.equal(await p.locator('#um_selected').textContent(), `Ebene ${depth - 1}`);
    });

    test('demo site: menus on every page, no error, no serious accessibility violation at rest, focused or hovered',
      async () => {
        const pages = fs.readdirSync(path.join(ROOT, 'examples', 'demo'), { recursive: true })
          .map((f) => f.split(path.sep).join('/')).filter((f) => f.endsWith('.htm'));
        assert.ok(pages.length >= 10);
        assert.ok(pages.some((f) => f.split('/').length === 3));
        const axe = async (p, state) => {
          const result = await p.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
          const bad = result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
          return bad.map((v) => `${state} ${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`);
        };
        for (const file of pages) {
          const p = await open(`demo/${file}`);
          const got = await readMenus(p);
          assert.deepEqual(got.m.map((i) => i.text), ['Home', 'Produkte', 'Filialen'], file);
          assert.equal(got.bc.at(-1).href, '../'.repeat(file.split('/').length - 1) + file);
          await p.addScriptTag({ path: AXE });
          const found = await axe(p, 'rest');
          // Every link state the style sheet colours: a plain main-menu link hovered and
          // focused, then a trail and a sub-menu link.
          for (const sel of ['ul.quilso_m > li > a:not([aria-current])', 'ul.quilso_bc a', 'ul.quilso_um a:not([aria-current])']) {
            const link = p.locator(sel).first();
            if (!(await link.count())) continue;
            await link.hover();
            found.push(...await axe(p, `hover ${sel}`));
            await link.focus();
            found.push(...await axe(p, `focus ${sel}`));
            await link.blur();
          }
          await p.mouse.move(990, 590);
          assert.deepEqual(found, [], file);
          assert.deepEqual(p.problems, [], file);
        }
      });
  });
}
