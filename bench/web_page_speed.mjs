// Speed of the page itself, free-running "as fast as possible" in headless
// chromium, against halden-cli doing the same: power up to the single
// measurement screen, put the dye in and let the instrument idle there. The
// page always has its chart recorder connected, so halden-cli runs once with
// a chart (--chart, the same work) and once without. Prints instrument time
// per wall second of each, the best of the runs.
//
//   node bench/web_page_speed.mjs [BUILD] [--runs N] [--seconds S] [--profile FILE.cpuprofile]
//
// BUILD is the build folder (build/release); its tests/web/node_modules holds
// playwright-core (installed by the build for the browser tests). --profile
// writes chromium's CPU profile of the idle seconds of the last run (a page
// linked with --profiling-funcs names the firmware's functions in it).
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const i = args.indexOf(name);
  if (i < 0)
    return fallback;
  const [value] = args.splice(i, 2).slice(1);
  return value;
};
const runs = Number(option('--runs', 3));
const seconds = Number(option('--seconds', 3));
const profileFile = option('--profile', '');
const build = path.resolve(args[0] || 'build/release');
process.env.HALDEN_WEB_SITE ||= path.join(build, 'web');
process.env.HALDEN_WEB_MODULES ||= path.join(build, 'tests/web/node_modules');
const { openBrowser, powerUpToSingleMeasure, putInCell } = await import('../tests/web/browser.mjs');

const IDLE_SCENARIO = `key standby
wait-screen self-test-passed within 2m
key soft2
wait-screen main-menu within 1s
key soft2
key soft1
key soft1
wait-screen single-measure within 1s
sample dye
wait ${seconds * 10000}s
`;

async function pageSpeed(profile) {
  const browser = await openBrowser();
  try {
    const page = await browser.page();
    await powerUpToSingleMeasure(page);
    await putInCell(page, 'dye');
    const cdp = profile ? await page.context().newCDPSession(page) : null;
    if (cdp) {
      await cdp.send('Profiler.enable');
      await cdp.send('Profiler.start');
    }
    const sample = () => page.evaluate(() => [window.halden.firmwareMs(), performance.now()]);
    const start = await sample();
    await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
    const end = await sample();
    if (cdp)
      fs.writeFileSync(profile, JSON.stringify((await cdp.send('Profiler.stop')).profile));
    return (end[0] - start[0]) / (end[1] - start[1]);
  } finally {
    await browser.close();
  }
}

// halden-cli's own figure (--stats, on stderr), timed from power-up.
function cliSpeed(withChart) {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'halden-bench-'));
  try {
    const scenario = path.join(scratch, 'idle.scn');
    fs.writeFileSync(scenario, IDLE_SCENARIO);
    const chart = withChart ? ['--chart', path.join(scratch, 'chart.csv')] : [];
    const stderr = path.join(scratch, 'stderr');
    const fd = fs.openSync(stderr, 'w');
    execFileSync(path.join(build, 'host/headless/halden-cli'),
      ['--stats', '--eeprom', path.join(scratch, 'eeprom.bin'), ...chart, scenario], { stdio: ['ignore', 'ignore', fd] });
    fs.closeSync(fd);
    const match = /(\d+) ms of firmware time in ([\d.]+) ms/.exec(fs.readFileSync(stderr, 'utf8'));
    return Number(match[1]) / Number(match[2]);
  } finally {
    fs.rmSync(scratch, { recursive: true, force: true });
  }
}

const best = { page: 0, chart: 0, plain: 0 };
for (let i = 0; i < runs; i++) {
  best.page = Math.max(best.page, await pageSpeed(i === runs - 1 ? profileFile : ''));
  best.chart = Math.max(best.chart, cliSpeed(true));
  best.plain = Math.max(best.plain, cliSpeed(false));
}
const f = (x) => Math.round(x).toString().padStart(7);
console.log(`idle on single-measure   page ${f(best.page)} x real time`);
console.log(`  halden-cli with chart       ${f(best.chart)} x real time   page/native ${(best.page / best.chart).toFixed(2)}`);
console.log(`  halden-cli without chart    ${f(best.plain)} x real time   page/native ${(best.page / best.plain).toFixed(2)}`);
