// Menu texts with markup (option HTML-Tag) in real browsers: the table of hostile texts that
// tests/publish runs through publish, rendered by the library and published, runs no script
// and gives the markup of the shared allow list.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { CLI, ROOT, browsers, build, defaultModel, readJson, serve, tempDir, watchedPage } from './lib/env.mjs';

const CASES = readJson(path.join(ROOT, 'tests', 'fixtures', 'markup_texts.json')).cases;
const site = tempDir('quilso-markup-');
let server;

const model = defaultModel();
model.isTag = true;
model.tree = [{ text: 'Start', file: 'index.htm', children: [] },
  ...CASES.map((c, i) => ({ text: c.text, file: `t${i}.htm`, children: [] }))];

// "live": the library renders the menus; "static": publish wrote them and no script runs on
// the page but the probe that says whether a handler fired.
function pageText(kind) {
  const head = kind === 'live' ? '<script src="menu.js"></script><script>quilso_css();</script>'
    : '<!-- quilso:css --><!-- /quilso:css -->';
  const menu = kind === 'live' ? '<script>quilso_write("m");</script>' : '<!-- quilso:m --><!-- /quilso:m -->';
  return `<!DOCTYPE html>
<html lang="de"><head><meta charset="utf-8"><title>Markup</title><link rel="icon" href="data:,">
${head}</head><body>
${menu}
<main style="margin-left:340px"><h1>Markup</h1></main>
</body></html>
`;
}

before(async () => {
  for (const kind of ['live', 'static']) {
    const dir = path.join(site, kind);
    build(model, path.join(dir, 'menu.js'));
    fs.writeFileSync(path.join(dir, 'index.htm'), pageText(kind));
    if (kind === 'static') execFileSync(CLI, ['publish', path.join(dir, 'menu.js')], { encoding: 'utf8' });
  }
  server = await serve(site);
});
after(() => server?.close());

for (const browser of browsers()) {
  describe(browser.name, () => {
    let context;
    let p;
    const dialogs = [];
    before(async () => {
      context = await browser.launch();
      context.setDefaultTimeout(5000);
      p = await watchedPage(context);
      p.on('dialog', (d) => {
        dialogs.push(d.message());
        d.dismiss().catch(() => {});
      });
    });
    after(() => context?.close());

    for (const kind of ['live', 'static']) {
      test(`${kind}: no hostile text runs script, and each keeps the markup of the allow list`, async () => {
        dialogs.length = 0;
        p.problems.length = 0;
        await p.goto(`${server.base}/${kind}/index.htm`, { waitUntil: 'load' });
        const links = p.locator('ul.quilso_m > li > a');
        assert.equal(await links.count(), CASES.length + 1);
        // Handlers that need a visitor: pointer and focus on every link.
        for (let i = 1; i <= CASES.length; i++) {
          await links.nth(i).hover({ force: true });
          await links.nth(i).focus();
        }
        // Failed pictures and opened details report after the load.
        await p.waitForTimeout(500);
        assert.deepEqual(dialogs, [], 'dialogs');
        // The kept pictures point nowhere: only their failed loads may be reported.
        assert.deepEqual(p.problems.filter((s) => !/Failed to load resource/.test(s)), [], 'errors');
        const got = await links.evaluateAll((as) => as.slice(1).map((a) => a.innerHTML));
        const want = await p.evaluate((cases) => cases.map((c) => {
          const t = document.createElement('template');
          t.innerHTML = c.markup;
          return t.innerHTML;
        }), CASES);
        for (let i = 0; i < CASES.length; i++) assert.equal(got[i], want[i], CASES[i].text);
      });
    }
  });
}
