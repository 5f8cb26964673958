// Rendering cost of the script library against the same menus as static HTML.
//
//   node bench/web/render_bench.mjs [--sizes 1000,10000,100000] [--runs 7] [--browsers chromium,firefox]
//
// For each size a flat project of that many entries is built with quilso-cli. Three
// pages show the same menus: the menu file placed with quilso_write() while the page
// parses, the menu file loaded with defer into placeholders, and the rendered markup
// pasted into the page as static HTML together with the same style sheet. Each page
// reports the time from navigation start until its menus are in the document and laid
// out; the medians of all runs, interleaved, are printed side by side. "library" is
// the time spent inside the quilso_write() calls of the classic page (menuinit(),
// finding the current page, building the menus), the part this library adds.
// Needs the packages of tests/web (npm ci there) and a built quilso-cli.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const env = await import(path.join(ROOT, 'tests/web/lib/env.mjs'));

function option(name, fallback) {
  const i = process.argv.indexOf(`--${name}`);
  return i > 0 ? process.argv[i + 1] : fallback;
}
const sizes = option('sizes', '1000,10000,100000').split(',').map(Number);
const runs = Number(option('runs', '7'));
const wanted = option('browsers', 'chromium,firefox').split(',');

const site = env.tempDir('quilso-bench-');
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// Marks the moment the menus are laid out: read by the harness after load.
const STAMP = '<script>document.body.offsetHeight; window.__stamp = performance.now();</script>';
const STAMP_READY = `<script>document.addEventListener('DOMContentLoaded', function () {
  setTimeout(function () { document.body.offsetHeight; window.__stamp = performance.now(); }, 0);
});</script>`;

function model(n) {
  const m = env.defaultModel();
  m.tree = [];
  for (let i = 0; i < n; i++) {
    m.tree.push({ text: i % 3 ? `Eintrag ${i}` : `Eintrag ${i} – Übersicht`, file: `seite${i}.htm`, children: [] });
  }
  return m;
}

function pageHtml(head, body, tail) {
  return `<!DOCTYPE html><html lang="de"><head><meta charset="utf-8"><title>Bench</title>${head}</head>
<body><div style="position:relative">${body}</div>${tail}</body></html>\n`;
}

async function prepare(n, context) {
  const dir = path.join(site, String(n));
  env.build(model(n), path.join(dir, 'menu.js'));
  const cur = `seite${Math.floor(n / 2)}.htm`;
  const named = `<script>var quilso_page = "${cur}";</script>`;
  fs.writeFileSync(path.join(dir, 'classic.htm'), pageHtml(`${named}<script src="menu.js"></script><script>quilso_css();</script>`,
    '<script>window.__lib = performance.now(); quilso_write("bc"); quilso_write("m");' +
    ' window.__lib = performance.now() - window.__lib;</script>', STAMP));
  fs.writeFileSync(path.join(dir, 'defer.htm'), pageHtml(`${named}<script src="menu.js" defer></script>`,
    '<div data-quilso="bc"></div><div data-quilso="m"></div>', STAMP_READY));
  // The static twin: exactly the markup and style sheet the library produced.
  const p = await context.newPage();
  await p.goto(`${server.base}/${n}/classic.htm`, { waitUntil: 'load' });
  const { css, markup } = await p.evaluate(() => ({
    css: [...document.querySelectorAll('style')].map((s) => s.textContent).join('\n'),
    markup: [...document.querySelectorAll('[data-quilso]')].map((d) => d.outerHTML).join('\n'),
  }));
  await p.close();
  fs.writeFileSync(path.join(dir, 'static.htm'), pageHtml(`<style>${css}</style>`, markup, STAMP));
  return { dir, bytes: fs.statSync(path.join(dir, 'menu.js')).size };
}

async function measure(context, url) {
  const p = await context.newPage();
  await p.goto(url, { waitUntil: 'load' });
  await p.waitForFunction(() => window.__stamp !== undefined);
  const t = await p.evaluate(() => ({ stamp: window.__stamp, lib: window.__lib,
    items: document.querySelectorAll('.quilso_m li').length }));
  await p.close();
  return t;
}

const server = await env.serve(site);
try {
  for (const browser of env.browsers().filter((b) => wanted.includes(b.name))) {
    const context = await browser.launch();
    context.setDefaultTimeout(120000);
    console.log(`\n${browser.name}: median of ${runs} runs, ms from navigation start to menus laid out`);
    console.log('entries   menu.js KB   static   classic  ratio    defer   ratio   library  per 1000 entries');
    for (const n of sizes) {
      const { bytes } = await prepare(n, context);
      const times = { static: [], classic: [], defer: [] };
      const library = [];
      for (let r = 0; r < runs + 1; r++) {
        for (const kind of Object.keys(times)) {
          const t = await measure(context, `${server.base}/${n}/${kind}.htm`);
          if (t.items !== n) throw new Error(`${kind} page of ${n} shows ${t.items} items`);
          if (r === 0) continue; // the first round warms caches
          times[kind].push(t.stamp);
          if (kind === 'classic') library.push(t.lib);
        }
      }
      const [s, c, d] = [median(times.static), median(times.classic), median(times.defer)];
      console.log(`${String(n).padStart(7)} ${(bytes / 1024).toFixed(0).padStart(12)} ${s.toFixed(1).padStart(8)} ${c.toFixed(1).padStart(9)}` +
        ` ${(c / s).toFixed(2).padStart(6)} ${d.toFixed(1).padStart(8)} ${(d / s).toFixed(2).padStart(7)}` +
        ` ${median(library).toFixed(1).padStart(9)} ${(median(library) / n * 1000).toFixed(2).padStart(9)}`);
    }
    await context.close();
  }
} finally {
  await server.close();
}
