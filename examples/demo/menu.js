/* application
program=quilso
edition=Standard
version=1.0.3
*/

/* project
lastsave=01.01.2026
*/

/* options
istag=false
*/

/* CSS-Init */
function quilso_css() {
  var c;
  document.write('<style type="text/css">');
  c = "";
  c = c + '.quilso_m_div {';
  c = c + '  /* position */';
  c = c + '  clear:none;';
  c = c + '  float:left;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_m {';
  c = c + '  /* position */';
  c = c + '  position:relative;';
  c = c + '  left:auto;';
  c = c + '  top:auto;';
  c = c + '  margin:0px;';
  c = c + '  padding:0px;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_m li {';
  c = c + '  /* position */';
  c = c + '  width:150px;';
  c = c + '  height:auto;';
  c = c + '  overflow:hidden;';
  c = c + '  /* list-style */';
  c = c + '  list-style-type:none;';
  c = c + '  /* text */';
  c = c + '  letter-spacing:normal;';
  c = c + '  line-height:1.2em;';
  c = c + '  direction:ltr;';
  c = c + '  text-indent:5px;';
  c = c + '  text-transform:none;';
  c = c + '  word-spacing:normal;';
  c = c + '  vertical-align:baseline;';
  c = c + '  /* font */';
  c = c + '  font-family:Arial, Helvetica, sans-serif;';
  c = c + '  font-size:10pt;';
  c = c + '  font-style:normal;';
  c = c + '  font-variant:normal;';
  c = c + '  font-weight:bold;';
  c = c + '  /* border */';
  c = c + '  margin-left:0px;';
  c = c + '  margin-right:0px;';
  c = c + '  margin-top:0px;';
  c = c + '  margin-bottom:0px;';
  c = c + '  border-left-width:1px;';
  c = c + '  border-right-width:1px;';
  c = c + '  border-top-width:1px;';
  c = c + '  border-bottom-width:1px;';
  c = c + '  border-left-color:#C0C0C0;';
  c = c + '  border-right-color:#C0C0C0;';
  c = c + '  border-top-color:#C0C0C0;';
  c = c + '  border-bottom-color:#C0C0C0;';
  c = c + '  border-left-style:solid;';
  c = c + '  border-right-style:solid;';
  c = c + '  border-top-style:solid;';
  c = c + '  border-bottom-style:solid;';
  c = c + '  padding-left:2px;';
  c = c + '  padding-right:2px;';
  c = c + '  padding-top:1px;';
  c = c + '  padding-bottom:1px;';
  c = c + '  /* background */';
  c = c + '  background-color:transparent;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_m li a {';
  c = c + '  /* position */';
  c = c + '  display:block;';
  c = c + '  /* text */';
  c = c + '  text-align:left;';
  c = c + '  text-decoration:none;';
  c = c + '  white-space:nowrap;';
  c = c + '  /* font */';
  c = c + '  color:#000000;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_m li a#m_selected {';
  c = c + '  /* font */';
  c = c + '  color:#FFFFFF;';
  c = c + '  /* background */';
  c = c + '  background-color:#0000FF;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_m li a:hover,';
  c = c + '.quilso_m li a:focus,';
  c = c + '.quilso_m li a:active {';
  c = c + '  /* font */';
  c = c + '  color:#FF0000;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_um {';
  c = c + '  /* position */';
  c = c + '  position:absolute;';
  c = c + '  left:150px;';
  c = c + '  top:0px;';
  c = c + '  margin:0px;';
  c = c + '  padding:0px;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_um li {';
  c = c + '  /* position */';
  c = c + '  width:150px;';
  c = c + '  height:auto;';
  c = c + '  overflow:hidden;';
  c = c + '  /* list-style */';
  c = c + '  list-style-type:none;';
  c = c + '  /* text */';
  c = c + '  letter-spacing:normal;';
  c = c + '  line-height:1.2em;';
  c = c + '  direction:ltr;';
  c = c + '  text-indent:5px;';
  c = c + '  text-transform:none;';
  c = c + '  word-spacing:normal;';
  c = c + '  vertical-align:baseline;';
  c = c + '  /* font */';
  c = c + '  font-family:"Times New Roman", Times, serif;';
  c = c + '  font-size:small;';
  c = c + '  font-style:normal;';
  c = c + '  font-variant:normal;';
  c = c + '  font-weight:normal;';
  c = c + '  /* border */';
  c = c + '  margin-left:0px;';
  c = c + '  margin-right:0px;';
  c = c + '  margin-top:0px;';
  c = c + '  margin-bottom:0px;';
  c = c + '  border-left-width:1px;';
  c = c + '  border-right-width:1px;';
  c = c + '  border-top-width:1px;';
  c = c + '  border-bottom-width:1px;';
  c = c + '  border-left-color:#C0C0C0;';
  c = c + '  border-right-color:#C0C0C0;';
  c = c + '  border-top-color:#C0C0C0;';
  c = c + '  border-bottom-color:#C0C0C0;';
  c = c + '  border-left-style:solid;';
  c = c + '  border-right-style:solid;';
  c = c + '  border-top-style:solid;';
  c = c + '  border-bottom-style:solid;';
  c = c + '  padding-left:2px;';
  c = c + '  padding-right:2px;';
  c = c + '  padding-top:1px;';
  c = c + '  padding-bottom:1px;';
  c = c + '  /* background */';
  c = c + '  background-color:#EEEEEE;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_um li a {';
  c = c + '  /* position */';
  c = c + '  display:block;';
  c = c + '  /* text */';
  c = c + '  text-align:left;';
  c = c + '  text-decoration:underline blink;';
  c = c + '  white-space:nowrap;';
  c = c + '  /* font */';
  c = c + '  color:#000000;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_um li a#um_selected {';
  c = c + '  /* font */';
  c = c + '  color:#FFFFFF;';
  c = c + '  /* background */';
  c = c + '  background-color:#0000FF;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  document.write(c);
  c = "";
  c = c + '.quilso_bc_div {';
  c = c + '  /* position */';
  c = c + '  clear:none;';
  c = c + '  float:left;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_bc {';
  c = c + '  /* position */';
  c = c + '  position:relative;';
  c = c + '  left:auto;';
  c = c + '  top:auto;';
  c = c + '  margin:0px;';
  c = c + '  padding:0px;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_bc li {';
  c = c + '  /* position */';
  c = c + '  float:left;';
  c = c + '  width:auto;';
  c = c + '  height:20px;';
  c = c + '  overflow:hidden;';
  c = c + '  /* list-style */';
  c = c + '  list-style-type:none;';
  c = c + '  /* text */';
  c = c + '  letter-spacing:normal;';
  c = c + '  line-height:1.2em;';
  c = c + '  direction:ltr;';
  c = c + '  text-indent:5px;';
  c = c + '  text-transform:none;';
  c = c + '  word-spacing:normal;';
  c = c + '  vertical-align:baseline;';
  c = c + '  /* font */';
  c = c + '  font-family:Arial, Helvetica, sans-serif;';
  c = c + '  font-size:10pt;';
  c = c + '  font-style:normal;';
  c = c + '  font-variant:normal;';
  c = c + '  font-weight:normal;';
  c = c + '  color:#000000;';
  c = c + '  /* border */';
  c = c + '  margin-top:0px;';
  c = c + '  margin-bottom:0px;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_bc li a {';
  c = c + '  /* position */';
  c = c + '  float:left;';
  c = c + '  display:block;';
  c = c + '  height:100%;';
  c = c + '  /* text */';
  c = c + '  text-align:left;';
  c = c + '  text-decoration:inherit;';
  c = c + '  white-space:nowrap;';
  c = c + '  /* font */';
  c = c + '  color:#000000;';
  c = c + '  /* border */';
  c = c + '  margin-left:0px;';
  c = c + '  margin-right:0px;';
  c = c + '  border-left-width:1px;';
  c = c + '  border-right-width:1px;';
  c = c + '  border-top-width:1px;';
  c = c + '  border-bottom-width:1px;';
  c = c + '  border-left-color:#C0C0C0;';
  c = c + '  border-right-color:#C0C0C0;';
  c = c + '  border-top-color:#C0C0C0;';
  c = c + '  border-bottom-color:#C0C0C0;';
  c = c + '  border-left-style:solid;';
  c = c + '  border-right-style:solid;';
  c = c + '  border-top-style:solid;';
  c = c + '  border-bottom-style:solid;';
  c = c + '  padding-left:2px;';
  c = c + '  padding-right:2px;';
  c = c + '  padding-top:1px;';
  c = c + '  padding-bottom:1px;';
  c = c + '  /* background */';
  c = c + '  background-color:#FFFFCC;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_bc li a#bc_selected {';
  c = c + '  /* font */';
  c = c + '  color:#FFFFFF;';
  c = c + '  /* background */';
  c = c + '  background-color:#0000FF;';
  c = c + '}';
  c = c + '';
  document.write(c);
  c = "";
  c = c + '.quilso_bc li a:hover,';
  c = c + '.quilso_bc li a:focus,';
  c = c + '.quilso_bc li a:active {';
  c = c + '  /* background */';
  c = c + '  background-color:inherit;';
  c = c + '}';
  c = c + '';
  document.write(c);
  document.write('</style>');
}

/* menu */
var cs = 8;
var ca = new Array(cs);

function menuinit()	{
ca[0] = new cr("Home", "index.htm", 1, cs, cs);
ca[1] = new cr("Produkte", "produkte.htm", 7, cs, 2);
ca[2] = new cr("Microsoft", "microsoft.htm", 3, 1, cs);
ca[3] = new cr("Borland", "borland.htm", 4, 1, cs);
ca[4] = new cr("1", "1.htm", 5, 1, cs);
ca[5] = new cr("2", "2.htm", 6, 1, cs);
ca[6] = new cr("3", "3.htm", cs, 1, cs);
ca[7] = new cr("Filialen", "Filialen.htm", cs, cs, cs);
}

/*
 * quilso menu library - renders the main menu, the sub menu and the
 * breadcrumb trail of this menu script file into the page.
 *
 * The part above this library was generated by quilso: quilso_css()
 * writes the style sheet, menuinit() fills ca[] with one record per
 * entry (text, file, next sibling, parent, first child; cs = no entry).
 * Entry texts arrive as HTML and are inserted as such; file names are
 * only ever set as the href attribute through the DOM.
 *
 * Two ways to place the menus (both may be mixed on one page):
 *
 * 1. At the place in the page, for a plain synchronous script:
 *      <head> <script src="menu.js"></script>
 *             <script>quilso_css();</script> </head>
 *      <body> <script>quilso_write("bc");</script>
 *             <script>quilso_write("m");</script> ...
 *
 * 2. Placeholders, filled when the document is ready (works with defer
 *    and async; the style sheet is then added to <head> by itself):
 *      <script src="menu.js" defer></script>
 *      <div data-quilso="bc"></div> <div data-quilso="m"></div>
 *
 * Kinds: "m" main menu, "um" sub menu, "bc" breadcrumb trail. The main
 * menu carries the sub menu inside the item of the current top-level
 * entry, unless the page places the sub menu on its own with "um".
 *
 * Public names:
 *   quilso_css()        writes the style sheet once; written in place while
 *                       the page is being parsed, added to <head> otherwise.
 *   quilso_write(kind)  renders one menu at the place of the calling script
 *                       and returns its container element.
 *   quilso_render()     fills every data-quilso placeholder not yet filled;
 *                       runs by itself when the document is ready.
 *   quilso_page         optional; set by the page before the menus render:
 *                       a file name or an entry number naming the current
 *                       page. Without it the page address decides (the entry
 *                       whose file matches the end of the path; a directory
 *                       address matches index.htm or index.html).
 *   cr(...)             the record constructor used by menuinit().
 *
 * Output: each menu is a <nav> with a German aria-label; the main menu
 * nav.quilso_m_div > ul.quilso_m > li > a, the sub menu ul.quilso_um
 * (deeper levels of the current branch nest as ul.quilso_um inside their
 * item), the trail nav.quilso_bc_div > ul.quilso_bc > li > a. The link of
 * the current page has the id m_selected, um_selected or bc_selected and
 * aria-current="page".
 */

function cr(text, file, nextSibling, parent, firstChild) {
  this.text = text;
  this.file = file;
  this.next = nextSibling;
  this.parent = parent;
  this.child = firstChild;
}

var quilso_write, quilso_render;

(function () {
  'use strict';

  var doc = document;
  // Kept ASCII: this file is copied byte for byte into menu files that
  // pages may serve in any encoding.
  var LABELS = { m: 'Hauptmen\u00FC', um: 'Untermen\u00FC', bc: 'Navigationspfad' };
  var generatedCss = typeof quilso_css === 'function' ? quilso_css : null;
  var cssDone = false;
  var loaded = false;
  var currentEntry = -1;
  var branch = [];          // entry numbers from the top level down to the current page
  var subOwnPlace = false;  // the page shows the sub menu on its own
  var nestedSub = null;     // the sub menu nav inside the main menu, if any
  var slots = 0;

  function count() {
    return typeof cs === 'number' && typeof ca === 'object' && ca ? cs : 0;
  }

  function valid(i) {
    return typeof i === 'number' && i >= 0 && i < count() && ca[i] instanceof cr;
  }

  // Entry numbers of the children of entry i (the top level for i < 0).
  // Hand-edited files may link in circles: a list ends where it repeats.
  function childrenOf(i) {
    var out = [];
    var seen = {};
    var k = i < 0 ? 0 : valid(i) ? ca[i].child : -1;
    while (valid(k) && !seen[k]) {
      seen[k] = true;
      out.push(k);
      k = ca[k].next;
    }
    return out;
  }

  function hasChildren(i) {
    return valid(i) && valid(ca[i].child);
  }

  function safeDecode(s) {
    try {
      return decodeURIComponent(s);
    } catch (e) {
      return s;
    }
  }

  // A file name reduced to the path it names, relative to the site:
  // no query, no fragment, no leading "/", "./" or "../".
  function filePath(file) {
    var f = String(file).replace(/\\/g, '/').replace(/[?#].*$/, '');
    if (/^[a-z][a-z0-9+.-]*:/i.test(f)) {
      // A full address names a page of this site only on this host.
      try {
        var url = new URL(f);
        if (url.host !== location.host) return '';
        f = url.pathname;
      } catch (e) {
        return '';
      }
    }
    return safeDecode(f).replace(/^(?:\.{0,2}\/)+/, '');
  }

  function matches(path, file, fold) {
    if (!file) return false;
    if (fold) {
      path = path.toLowerCase();
      file = file.toLowerCase();
    }
    return path === file || path.slice(-file.length - 1) === '/' + file;
  }

  // The entry whose file names the longest tail of one of the paths;
  // exact case first, then ignoring case (sites made on Windows).
  function entryForPaths(paths) {
    var n = count();
    var files = [];
    for (var i = 0; i < n; i++) files.push(valid(i) ? filePath(ca[i].file) : '');
    for (var fold = 0; fold < 2; fold++) {
      var best = -1;
      for (var p = 0; p < paths.length; p++) {
        for (var j = 0; j < n; j++) {
          if ((best < 0 || files[j].length > files[best].length) && matches(paths[p], files[j], fold)) {
            best = j;
          }
        }
      }
      if (best >= 0) return best;
    }
    return -1;
  }

  function findCurrent() {
    var named = window.quilso_page;
    if (typeof named === 'number') return valid(named) ? named : -1;
    if (typeof named === 'string') return entryForPaths(['/' + filePath(named)]);
    var path = safeDecode(location.pathname);
    if (path.slice(-1) === '/') return entryForPaths([path + 'index.htm', path + 'index.html']);
    return entryForPaths([path]);
  }

  // Runs menuinit() and finds the current page, once per page.
  function load() {
    if (loaded) return;
    loaded = true;
    if (typeof menuinit === 'function') menuinit();
    currentEntry = findCurrent();
    var seen = {};
    branch = [];
    for (var i = currentEntry; valid(i) && !seen[i]; i = ca[i].parent) {
      seen[i] = true;
      branch.push(i);
    }
    branch.reverse();
  }

  var REF = /&(?:#(\d{1,7})|nbsp);/g;

  // The text of an entry's HTML when it holds nothing but character
  // references the HTML parser would read the same way; else null.
  function plainText(html) {
    var plain = true;
    var text = html.replace(REF, function (ref, num) {
      if (!num) return '\u00A0';
      var v = +num;
      if ((v >= 32 && v < 127) || (v >= 160 && v < 0xd800)) return String.fromCharCode(v);
      plain = false;
      return ref;
    });
    return plain && text.indexOf('&') < 0 ? text : null;
  }

  function link(i, kind) {
    var a = doc.createElement('a');
    var entry = ca[i];
    var html = String(entry.text);
    var file = String(entry.file);
    a.setAttribute('href', file);
    var text = html.indexOf('<') < 0 ? (html.indexOf('&') < 0 ? html : plainText(html)) : null;
    if (text === null) {
      a.innerHTML = html;
      if (!/\S/.test(a.textContent) && !a.querySelector('img,svg')) a.textContent = file;
    } else {
      // A link without a name is unusable with a screen reader.
      a.textContent = /\S/.test(text) ? text : file;
    }
    if (i === currentEntry) {
      a.id = kind + '_selected';
      a.setAttribute('aria-current', 'page');
    }
    return a;
  }

  function nav(kind, className) {
    var n = doc.createElement('nav');
    if (className) n.className = className;
    n.setAttribute('aria-label', LABELS[kind]);
    return n;
  }

  // One list of the given entries; nest(i) may return an element to put
  // into the item of entry i.
  function list(ids, kind, nest) {
    var ul = doc.createElement('ul');
    ul.className = 'quilso_' + kind;
    for (var k = 0; k < ids.length; k++) {
      var li = doc.createElement('li');
      li.appendChild(link(ids[k], kind));
      var inner = nest ? nest(ids[k]) : null;
      if (inner) li.appendChild(inner);
      ul.appendChild(li);
    }
    return ul;
  }

  // The sub menu: the children of the current top-level entry, with the
  // children of every deeper entry of the current branch nested in its item.
  function subMenu() {
    if (!hasChildren(branch[0])) return null;
    var level = 1;
    function nest(i) {
      if (i !== branch[level] || !hasChildren(i)) return null;
      level++;
      return list(childrenOf(i), 'um', nest);
    }
    var n = nav('um', '');
    n.appendChild(list(childrenOf(branch[0]), 'um', nest));
    return n;
  }

  function mainMenu() {
    var top = childrenOf(-1);
    if (!top.length) return null;
    var n = nav('m', 'quilso_m_div');
    n.appendChild(list(top, 'm', function (i) {
      if (subOwnPlace || i !== branch[0]) return null;
      nestedSub = subMenu();
      return nestedSub;
    }));
    return n;
  }

  function trail() {
    if (!branch.length) return null;
    var n = nav('bc', 'quilso_bc_div');
    n.appendChild(list(branch, 'bc', null));
    return n;
  }

  function fill(box, kind) {
    load();
    box.quilsoFilled = true;
    var menu = null;
    if (kind === 'm') {
      menu = mainMenu();
    } else if (kind === 'bc') {
      menu = trail();
    } else if (kind === 'um') {
      subOwnPlace = true;
      // A sub menu already shown inside the main menu moves here.
      menu = nestedSub || subMenu();
      nestedSub = null;
    }
    while (box.firstChild) box.removeChild(box.firstChild);
    if (menu) box.appendChild(menu);
    return box;
  }

  // document.write only reaches the page from a parser-blocking script
  // while the page is being parsed; anywhere else it is ignored or, after
  // loading, wipes the page.
  function canWrite() {
    var s = doc.currentScript;
    return doc.readyState === 'loading' && !(s && (s.async || s.defer || s.type === 'module'));
  }

  function injectCss() {
    var parts = [];
    var shadowed = Object.prototype.hasOwnProperty.call(doc, 'write');
    var saved = doc.write;
    doc.write = function (s) {
      parts.push(String(s));
    };
    try {
      generatedCss();
    } finally {
      if (shadowed) doc.write = saved;
      else delete doc.write;
    }
    var style = doc.createElement('style');
    style.textContent = parts.join('\n').replace(/<\/?style[^>]*>/gi, '');
    (doc.head || doc.documentElement).appendChild(style);
  }

  window.quilso_css = function () {
    if (cssDone || !generatedCss) return;
    cssDone = true;
    if (canWrite()) generatedCss();
    else injectCss();
  };

  quilso_write = function (kind) {
    var box = null;
    if (canWrite()) {
      var id = 'quilso_slot_' + ++slots;
      doc.write('<div id="' + id + '"></div>');
      box = doc.getElementById(id);
      if (box) box.removeAttribute('id');
    }
    if (!box) {
      var s = doc.currentScript;
      if (!s || !s.parentNode) return null;
      box = doc.createElement('div');
      s.parentNode.insertBefore(box, s.nextSibling);
    }
    box.setAttribute('data-quilso', kind);
    return fill(box, kind);
  };

  quilso_render = function () {
    var boxes = doc.querySelectorAll('[data-quilso]');
    var todo = [];
    for (var k = 0; k < boxes.length; k++) {
      if (boxes[k].quilsoFilled) continue;
      todo.push(boxes[k]);
      if (boxes[k].getAttribute('data-quilso') === 'um') subOwnPlace = true;
    }
    if (!todo.length) return;
    quilso_css();
    for (k = 0; k < todo.length; k++) fill(todo[k], todo[k].getAttribute('data-quilso'));
  };

  if (doc.readyState === 'loading') doc.addEventListener('DOMContentLoaded', quilso_render);
  else quilso_render();
})();
