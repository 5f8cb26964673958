// The menu script files kept in the repository, read back by the project reader.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { ROOT, build, dump, plainTree, readJson, tempDir } from './lib/env.mjs';
import { deepProject, textsProject } from './lib/projects.mjs';

const tmp = tempDir('quilso-data-');
const withoutSaveTime = (text) => text.replace(/^lastsave=.*$/m, 'lastsave=');

for (const [model, file] of [['data/default.json', 'data/default.js'], ['examples/demo/menu.json', 'examples/demo/menu.js']]) {
  test(`${file} is what the writer makes of ${model} (run scripts/regen-data after a change)`, () => {
    const fresh = build(readJson(path.join(ROOT, model)), path.join(tmp, path.basename(path.dirname(file)), 'menu.js'));
    assert.equal(withoutSaveTime(fs.readFileSync(path.join(ROOT, file), 'latin1')),
      withoutSaveTime(fs.readFileSync(fresh, 'latin1')));
  });
}

test('reading default.js sets every style field, with the default tree empty', () => {
  const want = readJson(path.join(ROOT, 'data', 'default.json'));
  const got = dump(path.join(ROOT, 'data', 'default.js'));
  assert.deepEqual(got.tree, []);
  assert.equal(got.isTag, want.isTag);
  for (const kind of [0, 1, 2]) {
    for (const [field, value] of Object.entries(want.css[kind])) {
      assert.deepEqual(got.css[kind][field], value, `css[${kind}].${field}`);
    }
  }
});

test('the library adds nothing the project reader picks up', () => {
  const empty = path.join(tmp, 'empty.js');
  fs.writeFileSync(empty, '');
  for (const [name, model] of [['deep', deepProject()], ['texts', textsProject()]]) {
    model.tree = plainTree(model.tree);
    const a = dump(build(model, path.join(tmp, name, 'with.js')));
    const b = dump(build(model, path.join(tmp, name, 'without.js'), { library: empty }));
    assert.deepEqual(a, b, name);
    assert.deepEqual(a.tree, model.tree, `${name}: the tree comes back`);
  }
});
