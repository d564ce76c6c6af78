// A scenario played in the page (the firmware stepped on the page's own
// thread) and by halden-cli gives the same display memory and the same
// serial bytes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { openBrowser } from './browser.mjs';

// Remote control with readings and a spectrum (without the ^T result
// block, which carries the wall clock's date and time), and the set-up's
// languages (snapshots left out: the comparison is the display at the end).
const REMOTE = `expect "START\\r\\n"
key standby
wait-screen self-test-passed within 2m
key soft2
wait-screen main-menu within 1s
send "\\x08"
expect "HELLO\\r\\n"
sendln "CONTROL"
expect "E00\\r\\n"
sendln "SETREF"
expect "+00\\tScanning\\r\\nE00\\r\\n" within 20s
sendln "READA? 579"
expect " 579\\r\\n"
sendln "SCANBIN"
expect ",E00\\r\\n" within 20s
sendln "RELEASE"
expect "E00\\r\\n"
state
`;
const SCENARIOS = {
  remote: REMOTE,
  languages: fs.readFileSync(path.join(process.env.HALDEN_SOURCE_DIR, 'tests/ui/scenarios/languages.scn'), 'latin1')
    .split('\n').filter((line) => !line.startsWith('snapshot')).join('\n'),
};

for (const [name, text] of Object.entries(SCENARIOS)) {
  test(name, async () => {
    const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'halden-web-page-'));
    const browser = await openBrowser();
    try {
      fs.writeFileSync(path.join(scratch, 'run.scn'), `${text}\nsnapshot end.pbm\n`, 'latin1');
      const cli = spawnSync(process.env.HALDEN_CLI, ['--eeprom', 'eeprom.bin', '--serial-log', 'serial.log', 'run.scn'],
                            { cwd: scratch, encoding: 'latin1', timeout: 120000 });
      assert.equal(cli.status, 0, cli.stderr);
      const screen = fs.readFileSync(path.join(scratch, 'end.pbm')).subarray(-3840);
      const serial = fs.readFileSync(path.join(scratch, 'serial.log'));
      assert.ok(serial.length > 0);

      const page = await browser.page('?scenario');
      const run = await page.evaluate((t) => window.halden.runScenario(t), text);
      assert.equal(run.status, 0, run.output);
      assert.equal(run.output, cli.stdout);
      const memory = Buffer.from(await page.evaluate(() => window.halden.displayMemory()), 'hex');
      assert.equal(memory.length, 5120);
      assert.ok(memory.subarray(0, 3840).equals(screen), 'the display differs');
      const events = await page.evaluate(() => window.halden.serialBytes());
      const sent = Buffer.from(events.filter((_, i) => i % 2 === 1 && events[i - 1] === 1));
      assert.ok(sent.equals(serial), 'the serial bytes differ');
    } finally {
      await browser.close();
      fs.rmSync(scratch, { recursive: true, force: true });
    }
  });
}
