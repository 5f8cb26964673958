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
  c = c + '  color:#CC0000;';
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
var cs = 0;
var ca = new Array(cs);

function menuinit()	{
}

/*
 * quilso menu library - renders the main menu, the sub menu and the
 * breadcrumb trail of this menu script file into the page.
 *
 * The part above this library was generated by quilso: quilso_css()
 * writes the style sheet, menuinit() fills ca[] with one record per
 * entry (text, file, next sibling, parent, first child; cs = no entry).
 * Entry texts arrive as HTML; with the option "HTML-Tag" their markup is
 * kept as far as the allow list goes (no script, no handlers, no unsafe
 * addresses). File names are only ever set as the href attribute.
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
 * File names are relative to the folder of this menu script file, from
 * whichever page includes it; links are written relative to the page.
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
 *                       whose resolved address is the page's; a directory
 *                       address stands for its index.htm or index.html).
 *   quilso_base         optional; the address file names are relative to,
 *                       for a menu script file served from elsewhere.
 *   cr(...)             the record constructor used by menuinit().
 *
 * Output: each menu is a <nav> with a German aria-label; the main menu
 * nav.quilso_m_div > ul.quilso_m > li > a, the sub menu ul.quilso_um
 * (deeper levels of the current branch nest as ul.quilso_um inside their
 * item), the trail nav.quilso_bc_div > ul.quilso_bc > li > a. The link of
 * the current page has the id m_selected, um_selected or bc_selected and
 * aria-current="page". A menu already on the page as static markup
 * (<nav data-quilso-published="m">, "um", "bc") is not rendered again.
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

  // The same file included a second time: its generated part has replaced
  // quilso_css, ca and menuinit, so the first copy takes those over and
  // stays the only renderer on the page.
  if (typeof quilso_render === 'function' && typeof quilso_render.adopt === 'function') {
    quilso_render.adopt();
    return;
  }

  var doc = document;
  // Kept ASCII: this file is copied byte for byte into menu files that
  // pages may serve in any encoding.
  var LABELS = { m: 'Hauptmen\u00FC', um: 'Untermen\u00FC', bc: 'Navigationspfad' };
  var generatedCss = typeof quilso_css === 'function' ? quilso_css : null;
  var cssDone = false;
  var ownCssDone = false;
  var loaded = false;
  var currentEntry = -1;
  var branch = [];          // entry numbers from the top level down to the current page
  var subOwnPlace = false;  // the page shows the sub menu on its own
  var nestedSub = null;     // the sub menu nav inside the main menu, if any
  var slots = 0;
  // Taken now: once this script has run, currentScript names another one.
  var self = doc.currentScript;
  var scriptAddress = self && self.src ? self.src : '';
  var base = null;          // URL the file names are relative to
  var prefix = null;        // from the page's folder to the base folder; null: use full addresses

  function count() {
    return typeof cs === 'number' && typeof ca === 'object' && ca ? cs : 0;
  }

  // Not instanceof cr: a second include replaces cr, and records made by
  // the first one must stay valid.
  function valid(i) {
    return typeof i === 'number' && i >= 0 && i < count() && ca[i] !== null && typeof ca[i] === 'object';
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

  // Browsers drop these anywhere in an address before reading its scheme,
  // so "java\tscript:" runs as well as "javascript:".
  function unsafe(file) {
    return /^(?:javascript|vbscript|data):/i.test(String(file).replace(/[\x00-\x20\x7f]/g, ''));
  }

  // Full addresses, "/path" and "//host/path" do not depend on the base.
  function absolute(file) {
    return /^(?:[a-z][a-z0-9+.-]*:|[\/\\])/i.test(file);
  }

  function dirSegments(url) {
    var parts = url.pathname.split('/');
    parts.pop();
    return parts;
  }

  // Fixes the base and the way from the page to it, once per page.
  function findBase() {
    var given = window.quilso_base;
    try {
      base = new URL(typeof given === 'string' && given ? given : scriptAddress || location.href, location.href);
    } catch (e) {
      base = null;
    }
    prefix = null;
    if (!base) return;
    try {
      var page = new URL(location.href);
      if (page.protocol !== base.protocol || page.host !== base.host) return;
      var from = dirSegments(page);
      var to = dirSegments(base);
      var same = 0;
      while (same < from.length && same < to.length && from[same] === to[same]) same++;
      var steps = '';
      for (var k = same; k < from.length; k++) steps += '../';
      for (k = same; k < to.length; k++) steps += to[k] + '/';
      prefix = steps;
    } catch (e) {
      prefix = null;
    }
  }

  function hrefFor(file) {
    if (absolute(file) || !base) return file;
    if (prefix !== null) return prefix + file;
    try {
      return new URL(file, base).href;
    } catch (e) {
      return file;
    }
  }

  // The addresses a file name or page stands for, as comparable text: no
  // query or fragment, decoded; a folder stands for its index pages.
  function keysOf(address, relativeTo) {
    var url;
    try {
      url = relativeTo ? new URL(address, relativeTo) : new URL(address);
    } catch (e) {
      return [];
    }
    var key = url.protocol + '//' + url.host + safeDecode(url.pathname).replace(/\\/g, '/');
    return key.slice(-1) === '/' ? [key + 'index.htm', key + 'index.html'] : [key];
  }

  function entryForKeys(pageKeys) {
    var n = count();
    var keys = [];
    for (var i = 0; i < n; i++) {
      var file = valid(i) ? String(ca[i].file) : '';
      keys.push(file && base && !unsafe(file) ? keysOf(file, base) : []);
    }
    // Exact case first, then ignoring case (sites made on Windows).
    for (var fold = 0; fold < 2; fold++) {
      var wanted = {};
      for (var p = 0; p < pageKeys.length; p++) wanted[fold ? pageKeys[p].toLowerCase() : pageKeys[p]] = true;
      for (i = 0; i < n; i++) {
        for (var k = 0; k < keys[i].length; k++) {
          if (wanted[fold ? keys[i][k].toLowerCase() : keys[i][k]] === true) return i;
        }
      }
    }
    return -1;
  }

  function findCurrent() {
    var named = window.quilso_page;
    if (typeof named === 'number') return valid(named) ? named : -1;
    if (typeof named === 'string') {
      var found = base ? entryForKeys(keysOf(named, base)) : -1;
      for (var i = 0; found < 0 && i < count(); i++) {
        if (valid(i) && String(ca[i].file) === named) found = i;
      }
      return found;
    }
    return entryForKeys(keysOf(location.href));
  }

  // Runs menuinit() and finds the current page, once per page.
  function load() {
    if (loaded) return;
    loaded = true;
    if (typeof menuinit === 'function') menuinit();
    findBase();
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

  // The allow list for texts with markup, the same as the static menus of
  // quilso-cli publish (web/README.md): phrasing elements that run no code,
  // each with the attributes it keeps; src and cite hold relative or http(s)
  // addresses only. Other elements give up their tags and keep their text,
  // except those whose content is no text to show.
  var KEPT = {};
  ['abbr', 'b', 'bdi', 'bdo', 'big', 'br', 'cite', 'code', 'data', 'del', 'dfn', 'em',
    'font', 'i', 'img', 'ins', 'kbd', 'mark', 'q', 's', 'samp', 'small', 'span', 'strike', 'strong', 'sub',
    'sup', 'time', 'tt', 'u', 'var', 'wbr'].forEach(function (name) {
    KEPT[name] = true;
  });
  var KEPT_EVERYWHERE = { 'class': true, dir: true, lang: true, style: true, title: true };
  var KEPT_OWN = { img: { src: true, alt: true, width: true, height: true }, font: { color: true, face: true, size: true },
    data: { value: true }, time: { datetime: true }, del: { cite: true, datetime: true },
    ins: { cite: true, datetime: true }, q: { cite: true } };
  var DROPPED = { script: true, style: true, xmp: true, iframe: true, noembed: true, noframes: true,
    textarea: true, title: true, noscript: true, template: true, plaintext: true };

  function safeAddress(value) {
    try {
      var scheme = new URL(value, 'https://quilso.invalid/').protocol;
      return scheme === 'http:' || scheme === 'https:';
    } catch (e) {
      return false;
    }
  }

  function keptAttribute(element, attribute) {
    var name = attribute.name;
    // Compared with true: names such as "constructor" are found on every object.
    var own = Object.prototype.hasOwnProperty.call(KEPT_OWN, element) ? KEPT_OWN[element] : {};
    if (KEPT_EVERYWHERE[name] !== true && own[name] !== true) return false;
    return (name !== 'src' && name !== 'cite') || safeAddress(attribute.value);
  }

  // Rebuilds into `into` what the allow list keeps of the parsed nodes: new
  // elements of this document, so nothing of the parse (its namespaces, its
  // other attributes) comes along. Iterative: a text may nest deeply.
  function copyKept(from, into) {
    var stack = [[from.firstChild, into]];
    while (stack.length) {
      var top = stack[stack.length - 1];
      var n = top[0];
      if (!n) {
        stack.pop();
        continue;
      }
      top[0] = n.nextSibling;
      if (n.nodeType === 3) {
        top[1].appendChild(doc.createTextNode(n.data));
        continue;
      }
      if (n.nodeType !== 1) continue;
      var name = String(n.localName).toLowerCase();
      if (DROPPED[name] === true) continue;
      if (KEPT[name] !== true) {
        stack.push([n.firstChild, top[1]]);
        continue;
      }
      var el = doc.createElement(name);
      for (var k = 0; k < n.attributes.length; k++) {
        if (keptAttribute(name, n.attributes[k])) el.setAttribute(n.attributes[k].name, n.attributes[k].value);
      }
      top[1].appendChild(el);
      stack.push([n.firstChild, el]);
    }
  }

  // Markup texts are parsed by the browser in an inert template, where no
  // script runs and no picture loads, and only the allow list reaches the page.
  function setMarkup(into, html) {
    var t = doc.createElement('template');
    if (!t.content) {
      // No inert parse to be had: the text without markup is safe.
      into.textContent = '';
      return;
    }
    t.innerHTML = html;
    copyKept(t.content, into);
  }

  // One entry's link; an entry that would run script when followed is
  // shown as text only.
  function link(i, kind) {
    var entry = ca[i];
    var html = String(entry.text);
    var file = String(entry.file);
    var bad = unsafe(file);
    var a = doc.createElement(bad ? 'span' : 'a');
    if (bad) a.className = 'quilso_nolink';
    else a.setAttribute('href', hrefFor(file));
    var fallback = bad ? '' : file;
    var text = html.indexOf('<') < 0 ? (html.indexOf('&') < 0 ? html : plainText(html)) : null;
    if (text === null) {
      setMarkup(a, html);
      if (!/\S/.test(a.textContent) && !a.querySelector('img')) a.textContent = fallback;
    } else {
      // A link without a name is unusable with a screen reader.
      a.textContent = /\S/.test(text) ? text : fallback;
    }
    if (i === currentEntry) {
      // Ids are unique: a second menu of the same kind goes without.
      if (!doc.getElementById(kind + '_selected')) a.id = kind + '_selected';
      a.setAttribute('aria-current', 'page');
    }
    return a;
  }

  var KIND_NAVS = { m: 'nav.quilso_m_div', um: 'nav > ul.quilso_um:first-child', bc: 'nav.quilso_bc_div' };

  // Later instances of a kind get their own landmark name.
  function nav(kind, className) {
    var n = doc.createElement('nav');
    if (className) n.className = className;
    var before = doc.querySelectorAll(KIND_NAVS[kind]).length;
    n.setAttribute('aria-label', LABELS[kind] + (before ? ' ' + (before + 1) : ''));
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
  // Built in a loop: a branch may be deeper than the script stack.
  function subMenu() {
    if (!hasChildren(branch[0])) return null;
    var n = nav('um', '');
    var holder = n;
    for (var level = 1; ; level++) {
      var ids = childrenOf(branch[level - 1]);
      var ul = list(ids, 'um');
      holder.appendChild(ul);
      var k = ids.indexOf(branch[level]);
      if (k < 0 || !hasChildren(branch[level])) break;
      holder = ul.children[k];
    }
    return n;
  }

  function mainMenu() {
    var top = childrenOf(-1);
    if (!top.length) return null;
    var n = nav('m', 'quilso_m_div');
    n.appendChild(list(top, 'm', function (i) {
      if (subOwnPlace || i !== branch[0]) return null;
      return subMenu();
    }));
    return n;
  }

  function trail() {
    if (!branch.length) return null;
    var n = nav('bc', 'quilso_bc_div');
    n.appendChild(list(branch, 'bc', null));
    return n;
  }

  function published(kind) {
    return doc.querySelector('[data-quilso-published="' + kind + '"]');
  }

  // The button that folds the main menu on small screens (shown by the
  // library's own style rules only there), following the disclosure pattern.
  function addToggle(menu) {
    var ul = menu && menu.querySelector('ul.quilso_m');
    if (!ul || menu.quilsoToggle) return;
    if (!ul.id) {
      var id = 'quilso_m_list';
      for (var n = 2; doc.getElementById(id); n++) id = 'quilso_m_list_' + n;
      ul.id = id;
    }
    var button = doc.createElement('button');
    button.type = 'button';
    button.className = 'quilso_toggle';
    button.setAttribute('aria-expanded', 'false');
    button.setAttribute('aria-controls', ul.id);
    button.textContent = 'Men\u00FC';
    button.addEventListener('click', function () {
      button.setAttribute('aria-expanded', button.getAttribute('aria-expanded') === 'true' ? 'false' : 'true');
    });
    menu.addEventListener('keydown', function (ev) {
      if ((ev.key !== 'Escape' && ev.key !== 'Esc') || button.getAttribute('aria-expanded') !== 'true') return;
      if (!button.offsetWidth) return;
      button.setAttribute('aria-expanded', 'false');
      button.focus();
      ev.preventDefault();
    });
    menu.insertBefore(button, menu.firstChild);
    menu.quilsoToggle = button;
  }

  // Rules the library adds after the project's style sheet: focus that no
  // item height can clip, nested levels beside their own parent, small
  // screens and print. Selectors carry more weight than the generated ones.
  // quilso-cli publish writes the same rules, but those of the button, into
  // the css block for pages without script: keep the two alike.
  var OWN_CSS = [
    'button.quilso_toggle { display: none; }',
    'ul.quilso_m li:focus-within, ul.quilso_um li:focus-within, ul.quilso_bc li:focus-within { overflow: visible; }',
    'ul.quilso_m li a:focus, ul.quilso_um li a:focus, ul.quilso_bc li a:focus {' +
      ' outline: 2px solid; outline-offset: -2px; }',
    'ul.quilso_um > li:has(> ul.quilso_um) { position: relative; overflow: visible; }',
    '@media (max-width: 599.98px) {',
    '  nav.quilso_m_div, nav.quilso_bc_div { float: none; clear: both; width: auto; }',
    '  nav.quilso_m_div > button.quilso_toggle { display: block; margin: 0 0 4px; padding: 8px 16px;' +
      ' font: inherit; font-weight: bold; color: inherit; background: transparent;' +
      ' border: 1px solid currentColor; border-radius: 3px; cursor: pointer; }',
    '  nav.quilso_m_div > button.quilso_toggle[aria-expanded="false"] + ul.quilso_m { display: none; }',
    '  ul.quilso_m, ul.quilso_um, ul.quilso_bc { position: static; left: auto; top: auto; width: auto;' +
      ' max-width: 100%; box-sizing: border-box; }',
    '  ul.quilso_bc { display: flow-root; }',
    '  ul.quilso_m li, ul.quilso_um li { float: none; width: auto; height: auto; max-width: 100%;' +
      ' box-sizing: border-box; }',
    '  ul.quilso_bc li { height: auto; max-width: 100%; box-sizing: border-box; }',
    '  ul.quilso_m li > nav > ul.quilso_um, ul.quilso_um ul.quilso_um { margin: 0 0 0 1em; }',
    '  ul.quilso_m li a, ul.quilso_um li a, ul.quilso_bc li a, ul.quilso_m li span.quilso_nolink,' +
      ' ul.quilso_um li span.quilso_nolink, ul.quilso_bc li span.quilso_nolink {' +
      ' white-space: normal; overflow-wrap: break-word; height: auto; max-width: 100%; box-sizing: border-box; }',
    '}',
    '@media print {',
    // The menus cannot be followed on paper and would take a column of every
    // page; the trail still says where the page belongs. Separate rules: a
    // browser without :has() drops only the one that uses it.
    '  nav.quilso_m_div { display: none !important; }',
    '  button.quilso_toggle { display: none !important; }',
    '  nav:has(> ul.quilso_um) { display: none !important; }',
    '  nav.quilso_bc_div { float: none; }',
    '  ul.quilso_bc li { height: auto; }',
    '  ul.quilso_bc li, ul.quilso_bc li a, ul.quilso_bc li span.quilso_nolink {' +
      ' background: none !important; color: #000 !important; }',
    '  ul.quilso_m [aria-current="page"], ul.quilso_um [aria-current="page"], ul.quilso_bc [aria-current="page"] {' +
      ' font-weight: bold !important; text-decoration: underline !important; }',
    '}'
  ].join('\n');

  function addOwnCss() {
    if (ownCssDone) return;
    ownCssDone = true;
    var style = doc.createElement('style');
    style.setAttribute('data-quilso-own', '');
    style.textContent = OWN_CSS;
    (doc.head || doc.documentElement).appendChild(style);
  }

  function fill(box, kind) {
    load();
    addOwnCss();
    box.quilsoFilled = true;
    while (box.firstChild) box.removeChild(box.firstChild);
    var ready = published(kind);
    if (ready) {
      if (kind === 'm') addToggle(ready);
      return box;
    }
    var menu = null;
    if (kind === 'm') {
      if (published('um')) subOwnPlace = true;
      menu = mainMenu();
      if (menu && !subOwnPlace) nestedSub = menu.querySelector('ul.quilso_m > li > nav');
      addToggle(menu);
    } else if (kind === 'bc') {
      menu = trail();
    } else if (kind === 'um') {
      subOwnPlace = true;
      // A sub menu already shown inside the main menu moves here.
      var moving = nestedSub;
      nestedSub = null;
      menu = moving || subMenu();
    }
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

  // The generated style text, without its <style> frame, such that no
  // value in it can end the style element, and with the text of unsafe
  // entries styled like the links they replace.
  function styleText() {
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
    if (parts.length && /^\s*<style[^>]*>\s*$/i.test(parts[0])) parts.shift();
    if (parts.length && /^\s*<\/style\s*>\s*$/i.test(parts[parts.length - 1])) parts.pop();
    var css = parts.join('\n').replace(/(^|\})([^{}]*)\{/g, function (whole, end, selectors) {
      var more = [];
      var list = selectors.split(',');
      for (var k = 0; k < list.length; k++) {
        var m = /^([\s\S]*\bli\s+)a(#[\w-]+)?\s*$/.exec(list[k]);
        if (m) more.push(m[1] + 'span.quilso_nolink' + (m[2] || ''));
      }
      return more.length ? end + selectors.replace(/\s*$/, '') + ',\n' + more.join(',\n') + ' {' : whole;
    });
    // The main menu's rules reach its own items only: ".quilso_m li a:hover"
    // also matched the links of the sub menu inside an item, which then took
    // the main menu's colours. Specificity stays as it was.
    css = css.replace(/(^|[\n,}])(\s*\.quilso_m) +li\b( +(?=a\b|span\b))?/g, function (whole, lead, head, link) {
      return lead + head + ' > li' + (link ? ' > ' : '');
    });
    return css.replace(/</g, '\\3C ');
  }

  function cssWrapper() {
    if (cssDone || !generatedCss) return;
    cssDone = true;
    var css = styleText();
    if (canWrite()) {
      doc.write('<style>' + css + '</style>');
      return;
    }
    var style = doc.createElement('style');
    style.textContent = css;
    (doc.head || doc.documentElement).appendChild(style);
  }
  window.quilso_css = cssWrapper;

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

  // Static menus parsed after the library had rendered the same kind win:
  // the library's copy goes.
  function yieldToPublished() {
    var kinds = ['m', 'um', 'bc'];
    for (var k = 0; k < kinds.length; k++) {
      var ready = published(kinds[k]);
      if (!ready) continue;
      var boxes = doc.querySelectorAll('[data-quilso="' + kinds[k] + '"]');
      for (var b = 0; b < boxes.length; b++) {
        if (boxes[b].quilsoFilled && !boxes[b].contains(ready)) {
          while (boxes[b].firstChild) boxes[b].removeChild(boxes[b].firstChild);
        }
      }
      if (kinds[k] === 'um' && nestedSub && nestedSub.parentNode) {
        nestedSub.parentNode.removeChild(nestedSub);
        nestedSub = null;
      }
      if (kinds[k] === 'm') {
        addOwnCss();
        addToggle(ready);
      }
    }
  }

  quilso_render = function () {
    var boxes = doc.querySelectorAll('[data-quilso]');
    var todo = [];
    for (var k = 0; k < boxes.length; k++) {
      if (boxes[k].quilsoFilled) continue;
      todo.push(boxes[k]);
      if (boxes[k].getAttribute('data-quilso') === 'um') subOwnPlace = true;
    }
    if (doc.readyState !== 'loading') yieldToPublished();
    if (todo.length) quilso_css();
    for (k = 0; k < todo.length; k++) fill(todo[k], todo[k].getAttribute('data-quilso'));
  };

  quilso_render.adopt = function () {
    if (typeof quilso_css === 'function' && quilso_css !== cssWrapper) generatedCss = quilso_css;
    window.quilso_css = cssWrapper;
    // The second copy's generated part emptied ca again.
    if (loaded && typeof menuinit === 'function') menuinit();
    if (doc.readyState !== 'loading') quilso_render();
  };

  if (doc.readyState === 'loading') doc.addEventListener('DOMContentLoaded', quilso_render);
  else quilso_render();
})();
