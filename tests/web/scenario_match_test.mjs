// The web build runs a scenario exactly as the native one: halden-cli and
// the web build's runner (under node) play the same scenario on fresh
// EEPROM files, and every byte they leave must agree: the snapshots of the
// display, the serial line, the EEPROM image and what the scenario printed.
// The runner built with ASYNCIFY's checks plays it too: it stops on a switch
// of fibers with a function on the stack that was left uninstrumented.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const cli = process.env.HALDEN_CLI;
const runner = process.env.HALDEN_SCENARIO_JS;
const checkedRunner = process.env.HALDEN_SCENARIO_CHECKED_JS;
const source = process.env.HALDEN_SOURCE_DIR;

// Every scenario of the test suites and the examples. The web build writes
// no PNG pictures, so the examples' PNG snapshots are taken as PBM by both.
const SCENARIOS = ['tests/ui/scenarios', 'tests/host/scenarios', 'examples'].flatMap(
  (dir) => fs.readdirSync(path.join(source, dir)).filter((name) => name.endsWith('.scn')).sort()
             .map((name) => path.join(dir, name)));

function play(argv0, args, dir) {
  fs.mkdirSync(dir);
  const result = spawnSync(argv0[0], [...argv0.slice(1), '--eeprom', 'eeprom.bin', '--serial-log', 'serial.log', ...args],
                           { cwd: dir, encoding: 'latin1', timeout: 120000, env: { ...process.env, TZ: 'UTC' } });
  const files = {};
  for (const name of fs.readdirSync(dir).sort())
    files[name] = fs.readFileSync(path.join(dir, name));
  return { status: result.status, stdout: result.stdout, stderr: result.stderr, files };
}

// The instrument prints and shows the clock's minute: the three runs agree
// only when they fall within one minute, so a run that straddles the turn of
// a minute is played again.
function playAll(file, scratch) {
  for (let attempt = 0; ; attempt++) {
    const minute = () => Math.floor(Date.now() / 60000);
    const start = minute();
    const dir = path.join(scratch, String(attempt));
    fs.mkdirSync(dir);
    const runs = {
      native: play([cli], [file], path.join(dir, 'native')),
      web: play([process.execPath, '--no-experimental-fetch', runner], [file], path.join(dir, 'web')),
      checked: play([process.execPath, '--no-experimental-fetch', checkedRunner], [file], path.join(dir, 'checked')),
    };
    if (minute() === start || attempt === 2)
      return runs;
  }
}

for (const scenario of SCENARIOS) {
  test(scenario, () => {
    const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'halden-web-match-'));
    try {
      const text = fs.readFileSync(path.join(source, scenario), 'latin1');
      const file = path.join(scratch, path.basename(scenario));
      fs.writeFileSync(file, text.replace(/^(\s*snapshot\s+\S+)\.png\b/gm, '$1.pbm'), 'latin1');
      const { native, ...webRuns } = playAll(file, scratch);
      assert.equal(native.status, 0, `halden-cli failed: ${native.stderr}`);
      assert.ok(native.files['eeprom.bin'].length === 32768, 'no EEPROM image was written');
      for (const [kind, web] of Object.entries(webRuns)) {
        assert.equal(web.status, 0, `the ${kind} web build failed: ${web.stderr.slice(-2000)}`);
        assert.equal(web.stdout, native.stdout);
        assert.deepEqual(Object.keys(web.files), Object.keys(native.files));
        for (const [name, bytes] of Object.entries(native.files))
          assert.ok(bytes.equals(web.files[name]), `${name} differs in the ${kind} web build`);
      }
    } finally {
      fs.rmSync(scratch, { recursive: true, force: true });
    }
  });
}
