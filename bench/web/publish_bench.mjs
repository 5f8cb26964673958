// Load time of a page whose menus quilso-cli publish wrote, against the same page
// with the same menus written by hand.
//
//   node bench/web/publish_bench.mjs [--sizes 50,1000,10000] [--runs 9] [--browsers chromium,firefox]
//
// For each size a project of that many entries (a tenth of them under one
// top-level entry, so the page shows a sub menu) is built with quilso-cli; a page
// in a sub folder gets marker comments and is published. Its hand-written twin has
// the same menus as a person would write them: indented lines, plain links, the
// same style rules, without marker comments, landmark attributes for the script
// or structured data. Each page reports the time from navigation start until it is
// laid out; medians of interleaved runs are printed with their ratio (the target
// is 1.1 or less). Needs the packages of tests/web (npm ci there) and a built
// quilso-cli.
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
const sizes = option('sizes', '50,1000,10000').split(',').map(Number);
const runs = Number(option('runs', '9'));
const wanted = option('browsers', 'chromium,firefox').split(',');

const site = env.tempDir('quilso-publish-bench-');
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const STAMP = '<script>document.body.offsetHeight; window.__stamp = performance.now();</script>';

function model(n) {
  const m = env.defaultModel();
  const sub = Math.max(1, Math.floor(n / 10));
  const top = n - sub - 1;
  m.tree = [];
  for (let i = 0; i < top; i++) {
    m.tree.push({ text: i % 3 ? `Eintrag ${i}` : `Eintrag ${i} – Übersicht`, file: `seite${i}.htm`, children: [] });
  }
  const area = { text: 'Bereich', file: 'bereich/index.htm', children: [] };
  for (let i = 0; i < sub; i++) area.children.push({ text: `Unterseite ${i}`, file: `bereich/u${i}.htm`, children: [] });
  m.tree.splice(1, 0, area);
  return m;
}

function pageHtml(head, body) {
  return `<!DOCTYPE html>\n<html lang="de">\n<head>\n<meta charset="utf-8">\n<title>Bench</title>\n${head}\n</head>\n` +
    `<body>\n${body}\n<div style="position:relative">\n<main><h1>Seite</h1><p>Inhalt.</p></main>\n</div>\n${STAMP}\n</body>\n</html>\n`;
}

const esc = (s) => s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/[\u0080-\uffff]/g, (c) => `&#${c.charCodeAt(0)};`);

// The same menus as a person writes them, for the page bereich/u0.htm.
function handWritten(m, css) {
  const link = (e, id) => `<a href="../${e.file}"${id ? ` id="${id}"` : ''}>${esc(e.text)}</a>`;
  const area = m.tree[1];
  const current = area.children[0];
  const lines = ['<nav class="quilso_bc_div">', '  <ul class="quilso_bc">', `    <li>${link(area)}</li>`,
    `    <li>${link(current, 'bc_selected')}</li>`, '  </ul>', '</nav>', '<nav class="quilso_m_div">', '  <ul class="quilso_m">'];
  for (const e of m.tree) {
    if (e !== area) {
      lines.push(`    <li>${link(e)}</li>`);
      continue;
    }
    lines.push(`    <li>${link(e)}`, '      <ul class="quilso_um">');
    e.children.forEach((c, k) => lines.push(`        <li>${link(c, k === 0 ? 'um_selected' : '')}</li>`));
    lines.push('      </ul>', '    </li>');
  }
  lines.push('  </ul>', '</nav>');
  return pageHtml(css, lines.join('\n'));
}

function prepare(n) {
  const dir = path.join(site, String(n));
  const m = model(n);
  env.build(m, path.join(dir, 'menu.js'));
  fs.mkdirSync(path.join(dir, 'bereich'), { recursive: true });
  const published = path.join(dir, 'bereich', 'u0.htm');
  fs.writeFileSync(published, pageHtml('<!-- quilso:css --><!-- /quilso:css -->',
    '<!-- quilso:bc --><!-- /quilso:bc -->\n<!-- quilso:m --><!-- /quilso:m -->'));
  execFileSync(env.CLI, ['publish', path.join(dir, 'menu.js')], { stdio: ['ignore', 'pipe', 'pipe'] });
  const text = fs.readFileSync(published, 'latin1');
  const css = /<style>[\s\S]*?<\/style>/.exec(text)[0];
  fs.writeFileSync(path.join(dir, 'bereich', 'hand.htm'), handWritten(m, css));
  return { published: fs.statSync(published).size, hand: fs.statSync(path.join(dir, 'bereich', 'hand.htm')).size };
}

async function measure(context, url) {
  const p = await context.newPage();
  await p.goto(url, { waitUntil: 'load' });
  await p.waitForFunction(() => window.__stamp !== undefined);
  const t = await p.evaluate(() => ({ stamp: window.__stamp, items: document.querySelectorAll('.quilso_m li, .quilso_um li').length }));
  await p.close();
  return t;
}

const server = await env.serve(site);
try {
  const prepared = Object.fromEntries(sizes.map((n) => [n, prepare(n)]));
  for (const browser of env.browsers().filter((b) => wanted.includes(b.name))) {
    const context = await browser.launch();
    context.setDefaultTimeout(120000);
    console.log(`\n${browser.name}: median of ${runs} runs, ms from navigation start to the page laid out`);
    console.log('entries  published KB  hand KB  published   hand   ratio');
    for (const n of sizes) {
      const times = { published: [], hand: [] };
      for (let r = 0; r < runs + 1; r++) {
        for (const [kind, file] of [['published', 'u0.htm'], ['hand', 'hand.htm']]) {
          const t = await measure(context, `${server.base}/${n}/bereich/${file}`);
          if (t.items !== n) throw new Error(`${kind} page of ${n} shows ${t.items} items`);
          if (r > 0) times[kind].push(t.stamp); // the first round warms caches
        }
      }
      const [pub, hand] = [median(times.published), median(times.hand)];
      const { published: pb, hand: hb } = prepared[n];
      console.log(`${String(n).padStart(7)} ${(pb / 1024).toFixed(0).padStart(12)} ${(hb / 1024).toFixed(0).padStart(8)}` +
        ` ${pub.toFixed(1).padStart(10)} ${hand.toFixed(1).padStart(6)} ${(pub / hand).toFixed(2).padStart(7)}`);
    }
    await context.close();
  }
} finally {
  await server.close();
}
