// Pages published with quilso-cli publish, in real browsers: the static menus
// alone with JavaScript off (over http and file://), the same markup as the
// library renders, and pages that hold both without any menu twice.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { after, before, describe, test } from 'node:test';
import { CLI, browsers, build, defaultModel, serve, tempDir, watchedPage } from './lib/env.mjs';

const site = tempDir('quilso-publish-');
let server;

function node(text, file, children = []) {
  return { text, file, children };
}

const model = defaultModel();
model.tree = [
  node('Start', 'index.htm'),
  node('Waren', 'waren/', [
    node('Äpfel & Birnen', 'waren/a.htm', [node('Tief unten', 'waren/tief/t.htm')]),
    node('Böse', ' java\tscript:document.title="x"'),
    node('Kirschen', 'waren/k.htm'),
  ]),
  node('Kontakt', 'kontakt.htm'),
  node('Extern', 'https://example.org/'),
];
const PAGES = ['index.htm', 'waren/index.htm', 'waren/a.htm', 'waren/tief/t.htm', 'waren/k.htm', 'kontakt.htm'];

// "static": the markers only; "both": markers and the library, its trail
// written before the static one and its main menu after it; "live": the
// library only, the reference for the markup. Pages in Windows-1252: the
// static menus are ASCII and must not care.
function pageText(kind, rel) {
  const up = '../'.repeat(rel.split('/').length - 1);
  const lib = kind !== 'static';
  const marked = kind !== 'live';
  const write = (k) => (lib ? `<script>quilso_write("${k}");</script>` : '');
  const mark = (k) => (marked ? `<!-- quilso:${k} --><!-- /quilso:${k} -->` : '');
  const probe = lib ? '' : '<script>document.documentElement.setAttribute("data-js", "on");</script>';
  return `<!DOCTYPE html>
<html lang="de"><head><meta charset="windows-1252"><title>${rel}</title><link rel="icon" href="data:,">
${lib ? `<script src="${up}menu.js"></script><script>quilso_css();</script>` : ''}${mark('css')}${probe}
</head><body>
<header>${write('bc')}${mark('bc')}</header>
<div style="position:relative; display:flow-root">
${mark('m')}${write('m')}
<main style="margin-left:340px"><h1>${rel}</h1></main>
</div></body></html>
`;
}

function writeSite() {
  for (const kind of ['static', 'both', 'live']) {
    const dir = path.join(site, kind);
    build(model, path.join(dir, 'menu.js'));
    for (const rel of PAGES) {
      fs.mkdirSync(path.dirname(path.join(dir, rel)), { recursive: true });
      fs.writeFileSync(path.join(dir, rel), pageText(kind, rel), 'latin1');
    }
    if (kind === 'live') continue;
    const out = execFileSync(CLI, ['publish', path.join(dir, 'menu.js')], { encoding: 'utf8' });
    assert.match(out, /^6 pages: 6 written, 0 unchanged, 0 skipped, 0 failed$/m, out);
  }
}

before(async () => {
  writeSite();
  server = await serve(site);
});
after(() => server?.close());

// The menus of the open page as data: texts, targets resolved, ids.
function readMenus(p) {
  return p.evaluate(() => {
    const item = (li) => {
      const a = li.querySelector(':scope > a, :scope > span');
      const out = { text: a.textContent, tag: a.localName };
      if (a.localName === 'a') out.to = a.href;
      if (a.id) out.id = a.id;
      if (a.hasAttribute('aria-current')) out.current = true;
      const sub = li.querySelector(':scope > ul, :scope > nav > ul');
      if (sub) out.sub = [...sub.children].map(item);
      return out;
    };
    const menu = (sel) => [...document.querySelectorAll(sel)].map((ul) => [...ul.children].map(item));
    return { m: menu('nav.quilso_m_div > ul.quilso_m'), bc: menu('nav.quilso_bc_div > ul.quilso_bc') };
  });
}

// One nav as text, for comparing markup across pages of two folders: hrefs
// resolved and taken relative to the folder, the marker attribute left out,
// and what the library adds at run time (its toggle button, the list's id).
function navShape(p, selector, folder) {
  return p.locator(selector).first().evaluate((nav, root) => {
    const shape = (n) => {
      if (n.nodeType === 3) return JSON.stringify(n.data);
      if (n.localName === 'button') return '';
      const attrs = [...n.attributes]
        .filter((a) => a.name !== 'data-quilso-published' && !(n.localName === 'ul' && a.name === 'id'))
        .map((a) => `${a.name}=${a.name === 'href' ? n.href.replace(root, '') : a.value}`);
      return `<${n.localName} ${attrs.join(' ')}>${[...n.childNodes].map(shape).join('')}</${n.localName}>`;
    };
    return shape(nav);
  }, folder);
}

for (const browser of browsers()) {
  describe(`${browser.name}, JavaScript off`, () => {
    let context;
    let p;
    before(async () => {
      // Firefox driven over WebDriver BiDi ignores the context option: its own setting then.
      context = await browser.launch(browser.name === 'firefox'
        ? { firefoxUserPrefs: { 'javascript.enabled': false } } : { javaScriptEnabled: false });
      context.setDefaultTimeout(5000);
      p = await watchedPage(context);
    });
    after(() => context?.close());

    // Firefox without scripts cannot wait for a link to settle (its waiting is
    // a script): the link is clicked where it is, as a visitor would.
    async function follow(text, target) {
      await p.click(`nav.quilso_m_div a:text-is("${text}")`, { force: true, noWaitAfter: true });
      await p.waitForURL(target, { waitUntil: 'load' });
    }

    test('a page two folders down shows its menus, styled, with working targets', async () => {
      for (const base of [`${server.base}/static/`, pathToFileURL(path.join(site, 'static')).href + '/']) {
        await p.goto(`${base}waren/tief/t.htm`, { waitUntil: 'load' });
        assert.equal(await p.getAttribute('html', 'data-js'), null, 'scripts really are off');
        const got = await readMenus(p);
        const to = (rel) => base + rel;
        assert.deepEqual(got.bc, [[
          { text: 'Waren', tag: 'a', to: to('waren/') },
          { text: 'Äpfel & Birnen', tag: 'a', to: to('waren/a.htm') },
          { text: 'Tief unten', tag: 'a', to: to('waren/tief/t.htm'), id: 'bc_selected', current: true },
        ]]);
        assert.deepEqual(got.m, [[
          { text: 'Start', tag: 'a', to: to('index.htm') },
          { text: 'Waren', tag: 'a', to: to('waren/'), sub: [
            { text: 'Äpfel & Birnen', tag: 'a', to: to('waren/a.htm'), sub: [
              { text: 'Tief unten', tag: 'a', to: to('waren/tief/t.htm'), id: 'um_selected', current: true },
            ] },
            { text: 'Böse', tag: 'span' },
            { text: 'Kirschen', tag: 'a', to: to('waren/k.htm') },
          ] },
          { text: 'Kontakt', tag: 'a', to: to('kontakt.htm') },
          { text: 'Extern', tag: 'a', to: 'https://example.org/' },
        ]]);
        // The project's style sheet came with the page.
        const li = p.locator('.quilso_m li').first();
        assert.equal(await li.evaluate((el) => getComputedStyle(el).width), '150px');
        const trail = JSON.parse(await p.locator('script[type="application/ld+json"]').textContent());
        assert.equal(trail['@type'], 'BreadcrumbList');
        assert.deepEqual(trail.itemListElement.map((e) => [e.position, e.name, new URL(e.item, p.url()).href]), [
          [1, 'Waren', to('waren/')], [2, 'Äpfel & Birnen', to('waren/a.htm')], [3, 'Tief unten', to('waren/tief/t.htm')],
        ]);

        // Following the links: up two folders and down into another one.
        await follow('Kontakt', to('kontakt.htm'));
        assert.equal(await p.locator('#m_selected').textContent(), 'Kontakt');
        await follow('Start', to('index.htm'));
        assert.equal(await p.locator('h1').textContent(), 'index.htm');
      }
    });

    test('a folder address shows the folder entry as the current page', async () => {
      await p.goto(`${server.base}/static/index.htm`, { waitUntil: 'load' });
      await follow('Waren', `${server.base}/static/waren/`);
      assert.equal(await p.locator('h1').textContent(), 'waren/index.htm');
      assert.equal(await p.locator('#m_selected').textContent(), 'Waren');
      await follow('Kirschen', `${server.base}/static/waren/k.htm`);
      assert.equal(await p.locator('#um_selected').textContent(), 'Kirschen');
      // The text-only entry is nothing to follow.
      assert.equal(await p.locator('span.quilso_nolink').count(), 1);
      assert.equal(await p.locator('[href*="script"]').count(), 0);
    });
  });

  describe(`${browser.name}, JavaScript on`, () => {
    let context;
    let p;
    before(async () => {
      context = await browser.launch();
      context.setDefaultTimeout(5000);
      p = await watchedPage(context);
    });
    after(() => context?.close());

    test('the static markup is the markup the library renders', async () => {
      for (const rel of PAGES) {
        for (const [selector, what] of [['nav.quilso_m_div', 'main menu'], ['nav.quilso_bc_div', 'trail']]) {
          await p.goto(`${server.base}/live/${rel}`, { waitUntil: 'load' });
          const live = await navShape(p, selector, `${server.base}/live/`);
          await p.goto(`${server.base}/static/${rel}`, { waitUntil: 'load' });
          const published = await navShape(p, selector, `${server.base}/static/`);
          assert.equal(published, live, `${what} on ${rel}`);
        }
      }
    });

    test('with the library on the page no menu is there twice', async () => {
      for (const rel of PAGES) {
        p.problems.length = 0;
        await p.goto(`${server.base}/both/${rel}`, { waitUntil: 'load' });
        assert.deepEqual(p.problems, [], rel);
        const counts = await p.evaluate(() => ({
          m: document.querySelectorAll('nav.quilso_m_div').length,
          bc: document.querySelectorAll('nav.quilso_bc_div').length,
          um: document.querySelectorAll('nav > ul.quilso_um:first-child').length,
          ids: ['m_selected', 'um_selected', 'bc_selected'].map((id) => document.querySelectorAll(`#${id}`).length),
          published: document.querySelectorAll('[data-quilso-published]').length,
        }));
        const hasSub = rel.startsWith('waren/');
        assert.deepEqual(counts, { m: 1, bc: 1, um: hasSub ? 1 : 0, published: 2,
          ids: [rel.split('/').length === 1 || rel === 'waren/index.htm' ? 1 : 0, hasSub && rel !== 'waren/index.htm' ? 1 : 0, 1] }, rel);
      }
    });
  });
}
