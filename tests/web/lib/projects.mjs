// Projects the browser tests build with the writer, and the menus a page of
// each entry must show.
import { defaultModel } from './env.mjs';

function node(text, file, children = [], shown = text) {
  return { text, file, children, shown };
}

// A file name that turns into an element if anything pastes it into markup.
export const HOSTILE_FILE = 'a"><b id=injected>b<"x.htm';

// Six levels below the top, siblings on every level, files in sub folders.
export function deepProject() {
  const m = defaultModel();
  m.tree = [
    node('Start', 'index.htm'),
    node('Bereich A', 'a.htm', [
      node('A1', 'a1.htm', [
        node('A1x', 'kapitel/a1x.htm', [
          node('A1x tief', 'kapitel/tief/a1x-tief.htm', [
            node('Ebene 5', 'e5.htm', [node('Ebene 6', 'e6.htm')]),
          ]),
        ]),
        node('A1y', 'a1y.htm'),
      ]),
      node('A2', 'a2.htm'),
    ]),
    node('Bereich B', 'b.htm', [node('B1', 'b1.htm')]),
    node('Ende', 'ende.htm'),
  ];
  return m;
}

// Menu texts and file names that break naive string handling. With isTag
// false every character of a text is shown as typed (two spaces in a row
// become a space and a no-break space).
export function textsProject() {
  const m = defaultModel();
  m.isTag = false;
  m.tree = [
    // Another site's page of the same name is never the current page.
    node('Extern', 'http://example.org/pfad.htm'),
    node('Über uns & Kontakt', 'über-uns.htm', [
      node('"Zitat" und \'Apostroph\'', 'say"hi.htm'),
      node('<b>fett</b> a  b', 'tags.htm', [], '<b>fett</b> a \u00A0b'),
      node('Preise – 2026 — neu', 'preise.htm'),
    ]),
    node('€ 5, Grüße „so“', 'euro.htm'),
    node('AT&T C:\\Pfad', 'pfad.htm'),
    node('</a></li><li>x', 'bruch.htm'),
    node('Falle', HOSTILE_FILE),
  ];
  return m;
}

// isTag true: texts are markup.
export function tagsProject() {
  const m = defaultModel();
  m.isTag = true;
  m.tree = [
    node('<b>fett</b> und <i>kursiv</i>', 'index.htm', [
      node('a < b', 'klein.htm'),
      // The writer encodes every double quote, so markup attributes go unquoted.
      node('<span class=neu>Neu</span> – jetzt', 'neu.htm'),
    ], 'fett und kursiv'),
    node('Zwei  Leerzeichen', 'zwei.htm', [], 'Zwei \u00A0Leerzeichen'),
    node('<i>Falle</i>', HOSTILE_FILE, [], 'Falle'),
  ];
  m.tree[0].children[1].shown = 'Neu – jetzt';
  return m;
}

// Style values that differ from the defaults, so a rule taken from the
// wrong field or the wrong menu shows.
export function stylesProject() {
  const m = deepProject();
  const [main, sub, trail] = m.css;
  Object.assign(main, { fontSizeValue: '15', fontSizeUnit: 'px', color: '123456', colorHover: '00AA00',
    backgroundColorHover: 'FFEE00', colorSelected: 'FFFF00', backgroundColorSelected: '008000' });
  main.boxValue[1][0] = '3';
  main.borderStyle[0] = 'dashed';
  main.borderColor[0] = 'AB0000';
  Object.assign(sub, { fontSizeValue: '', fontSizeUnit: 'large', color: '330033', backgroundColor: 'DDEEFF' });
  Object.assign(trail, { color: '0000AA', backgroundColor: 'FFDDDD', fontWeight: 'bold' });
  return m;
}

// Whether the entry has a page of the test site (not a full address).
export const local = (e) => !e.file.includes('://');

// Entries in the writer's numbering (depth first), with parent and children.
export function flatten(tree) {
  const out = [];
  const walk = (nodes, parent) => {
    for (const n of nodes) {
      const i = out.length;
      out.push({ ...n, parent, kids: [] });
      if (parent >= 0) out[parent].kids.push(i);
      walk(n.children || [], i);
    }
  };
  walk(tree, -1);
  return out;
}

// What readMenus() must return on the page of entry `cur` (-1: no match), for
// a page `up` folders below the menu file.
export function expectedMenus(entries, cur, up = 0) {
  const branch = [];
  for (let i = cur; i >= 0; i = entries[i].parent) branch.unshift(i);
  const item = (i, kind) => {
    const file = entries[i].file;
    const it = { text: entries[i].shown, href: /^[a-z]+:|^\//i.test(file) ? file : '../'.repeat(up) + file };
    if (i === cur) Object.assign(it, { id: `${kind}_selected`, current: 'page' });
    return it;
  };
  const sub = (i, level) => ({
    cls: 'quilso_um',
    items: entries[i].kids.map((k) => {
      const it = item(k, 'um');
      if (k === branch[level] && entries[k].kids.length) it.sub = sub(k, level + 1);
      return it;
    }),
  });
  const top = entries.map((e, i) => i).filter((i) => entries[i].parent < 0);
  const m = top.map((i) => {
    const it = item(i, 'm');
    if (i === branch[0] && entries[i].kids.length) it.sub = sub(i, 1);
    return it;
  });
  return { m: top.length ? m : null, bc: branch.length ? branch.map((i) => item(i, 'bc')) : null };
}

// A site with pages in sub folders at two depths, folder pages (index.htm)
// and addresses that do not depend on the menu file's folder.
export function foldersProject() {
  const m = defaultModel();
  m.tree = [
    node('Start', 'index.htm'),
    node('Waren', 'waren/index.htm', [
      node('Obst', 'waren/obst.htm'),
      node('Gemüse', 'waren/gemuese/index.htm', [
        node('Wurzeln', 'waren/gemuese/wurzeln.htm', [
          node('Möhren, Pastinaken und Petersilienwurzeln aus eigenem Anbau', 'waren/gemuese/moehren.htm'),
        ]),
        node('Kohl', 'waren/gemuese/kohl.htm'),
      ]),
      node('Brot', 'waren/brot.htm'),
    ]),
    node('Kontakt', 'kontakt.htm', [node('Kontakt alt', 'KONTAKT.htm')]),
    node('Extern', 'https://example.org/seite.htm'),
    node('Post', 'mailto:info@example.org'),
    node('Wurzel', '/wurzel.htm'),
  ];
  return m;
}

// Entries whose file names would run script when followed.
export const UNSAFE_FILES = ['javascript:window.__clicked=1', ' JaVa\tScRiPt:window.__clicked=2', 'VBScript:msgbox(1)',
  'data:text/html,hallo', 'java\nscript:window.__clicked=3'];

export function unsafeProject() {
  const m = defaultModel();
  m.tree = [node('Start', 'index.htm', [node('Sicher', 'sicher.htm'), ...UNSAFE_FILES.map((f, i) => node(`Falle ${i + 1}`, f))]),
    node('Oben sicher', 'oben.htm'), ...UNSAFE_FILES.map((f, i) => node(`Oben ${i + 1}`, f))];
  return m;
}
