// Shared pieces of the browser tests: building menu files with quilso-cli,
// a loopback web server, browser start-up and page inspection.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const require = createRequire(import.meta.url);
export const pw = require('playwright-core');

export const HERE = path.dirname(fileURLToPath(import.meta.url));
export const ROOT = path.resolve(HERE, '../../..');
export const CLI = process.env.QUILSO_CLI || path.join(ROOT, 'build', 'quilso-cli');
// QUILSO_LIBRARY runs the tests against another version of the library.
export const LIBRARY = process.env.QUILSO_LIBRARY || path.join(ROOT, 'web', 'quilso_functions.js');
// The same as scripts/regen-data uses, so committed files compare byte for byte.
export const REPRODUCIBLE = { SOURCE_DATE_EPOCH: '1767225600', TZ: 'UTC' };
export const AXE = require.resolve('axe-core/axe.min.js');
export const CHROMIUM = process.env.QUILSO_CHROMIUM || '/usr/bin/chromium';
export const FIREFOX = process.env.QUILSO_FIREFOX || '/usr/bin/firefox-esr';

export const CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--no-first-run'];

export function tempDir(prefix) {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

export function readJson(file) {
  return JSON.parse(fs.readFileSync(file, 'utf8'));
}

// The style records and options of the default project, for projects that
// only vary the tree or a few style fields.
export function defaultModel() {
  return readJson(path.join(ROOT, 'data', 'default.json'));
}

// A tree as the writer's JSON form has it (tests keep extra fields on nodes).
export function plainTree(nodes) {
  return nodes.map((n) => ({ text: n.text, file: n.file, children: plainTree(n.children || []) }));
}

// Builds a menu script file from a model with the real writer and, unless
// told otherwise, the library of this source tree.
export function build(model, outFile, options) {
  return buildText(JSON.stringify({ ...model, tree: plainTree(model.tree) }, null, 1), outFile, options);
}

// The same from the model's JSON text (for trees too deep for JSON.stringify).
export function buildText(text, outFile, { library = LIBRARY } = {}) {
  const json = outFile.replace(/\.js$/, '') + '.json';
  fs.mkdirSync(path.dirname(outFile), { recursive: true });
  fs.writeFileSync(json, text);
  execFileSync(CLI, ['build', json, outFile, '--library', library], { env: { ...process.env, ...REPRODUCIBLE },
    stdio: ['ignore', 'pipe', 'pipe'] });
  return outFile;
}

export function dump(file) {
  return JSON.parse(execFileSync(CLI, ['dump', file], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] }));
}

// A page that shows the menus of ../menu.js-relative `script`, placed in one of
// the two documented ways. `before` is inserted ahead of the menu script.
export function page({ script = 'menu.js', mode = 'classic', kinds = ['bc', 'm'], before = '', title = 'Testseite' }) {
  const head = mode === 'classic'
    ? `<script src="${script}"></script>\n<script>quilso_css();</script>`
    : `<script src="${script}" ${mode}></script>`;
  const place = (k) => mode === 'classic' ? `<script>quilso_write("${k}");</script>` : `<div data-quilso="${k}"></div>`;
  return `<!DOCTYPE html>
<html lang="de"><head><meta charset="utf-8"><title>${title}</title><link rel="icon" href="data:,">
${before}${head}
</head><body>
<header>${kinds.includes('bc') ? place('bc') : ''}</header>
<div style="position:relative; display:flow-root">
${kinds.filter((k) => k !== 'bc').map(place).join('\n')}
<main style="margin-left:340px"><h1>${title}</h1><p>Inhalt.</p></main>
</div>
</body></html>
`;
}

// A page laid out the way a site that also serves phones would: the content
// beside the menus on wide screens, below them on narrow ones.
export function sitePage({ script = 'menu.js', title = 'Testseite', before = '', body = '', mode = 'classic' }) {
  const classic = mode === 'classic';
  const place = (k) => classic ? `<script>quilso_write("${k}");</script>` : `<div data-quilso="${k}"></div>`;
  return `<!DOCTYPE html>
<html lang="de"><head><meta charset="utf-8"><meta name="viewport" content="width=device-width, initial-scale=1">
<title>${title}</title><link rel="icon" href="data:,">
<style>body { margin: 0; font-family: sans-serif; } header, .rahmen { display: flow-root; padding: 8px; }
.rahmen { position: relative; } main { margin-left: 480px; overflow-wrap: break-word; }
@media (max-width: 599.98px) { main { margin-left: 0; clear: both; } }</style>
${before}<script src="${script}"${classic ? '' : ` ${mode}`}></script>
${classic ? '<script>quilso_css();</script>' : ''}
</head><body>
<header>${place('bc')}</header>
<div class="rahmen">${place('m')}
<main><h1>${title}</h1><p>Inhalt der Seite.</p>${body}</main></div>
</body></html>
`;
}

const TYPES = { '.htm': 'text/html', '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
  '.json': 'application/json' };

// Serves `root` on a loopback port. Scripts go out without a charset, as many
// servers send them: the browser then reads them in the page's encoding.
export function serve(root) {
  const server = http.createServer((req, res) => {
    let rel;
    try {
      rel = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    } catch {
      res.writeHead(400).end();
      return;
    }
    let file = path.join(root, rel);
    if (!file.startsWith(root)) {
      res.writeHead(403).end();
      return;
    }
    if (rel.endsWith('/')) file = path.join(file, 'index.htm');
    fs.readFile(file, (err, data) => {
      if (err) {
        res.writeHead(404, { 'content-type': 'text/plain' }).end('not found');
        return;
      }
      const ext = path.extname(file).toLowerCase();
      const type = TYPES[ext] || 'application/octet-stream';
      const ctype = ext === '.js' ? type : `${type}; charset=utf-8`;
      res.writeHead(200, { 'content-type': ctype }).end(data);
    });
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      const base = `http://127.0.0.1:${server.address().port}`;
      resolve({ base, close: () => new Promise((r) => server.close(r)) });
    });
  });
}

// Every browser the tests drive; Firefox only where its binary exists. `launch`
// takes context options (javaScriptEnabled: false for pages without script).
// QUILSO_BROWSERS=chromium (a comma list) narrows the choice.
export function browsers() {
  const list = [{
    name: 'chromium',
    launch: (options = {}) => pw.chromium.launchPersistentContext(tempDir('quilso-chromium-'), {
      executablePath: CHROMIUM, headless: true, args: CHROMIUM_FLAGS, viewport: { width: 1000, height: 600 },
      ...options,
    }),
  }];
  if (fs.existsSync(FIREFOX)) {
    // Debian's Firefox has no Juggler; playwright drives it over WebDriver BiDi.
    list.push({
      name: 'firefox',
      launch: (options = {}) => pw.firefox.launchPersistentContext(tempDir('quilso-firefox-'), {
        channel: 'moz-firefox', executablePath: FIREFOX, headless: true, viewport: { width: 1000, height: 600 },
        ...options,
      }),
    });
  }
  const only = process.env.QUILSO_BROWSERS;
  return only ? list.filter((b) => only.split(',').includes(b.name)) : list;
}

// A page whose console errors and uncaught exceptions are collected.
export async function watchedPage(context) {
  const p = await context.newPage();
  p.problems = [];
  p.on('console', (m) => {
    if (m.type() === 'error') p.problems.push(`console.error: ${m.text()}`);
  });
  p.on('pageerror', (e) => p.problems.push(`uncaught: ${e.message}`));
  return p;
}

// The rendered menus of the open page as plain data.
export function readMenus(p) {
  return p.evaluate(() => {
    function items(ul) {
      return [...ul.children].map((li) => {
        const a = li.querySelector(':scope > a');
        const sub = li.querySelector(':scope > ul, :scope > nav > ul');
        const item = { text: a.textContent, href: a.getAttribute('href') };
        if (a.id) item.id = a.id;
        if (a.hasAttribute('aria-current')) item.current = a.getAttribute('aria-current');
        if (sub) item.sub = { cls: sub.className, items: items(sub) };
        return item;
      });
    }
    function menu(sel) {
      const ul = document.querySelector(sel);
      return ul ? items(ul) : null;
    }
    const navs = [...document.querySelectorAll('nav')].map((n) => n.getAttribute('aria-label'));
    return { m: menu('nav.quilso_m_div > ul.quilso_m'), bc: menu('nav.quilso_bc_div > ul.quilso_bc'),
      um: menu('[data-quilso="um"] > nav > ul.quilso_um'), navs };
  });
}
