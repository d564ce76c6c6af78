// Speed of the page itself, free-running "as fast as possible" in headless
// chromium, against halden-cli doing the same: power up to the single
// measurement screen, put the dye in and let the instrument idle there. The
// page always has its chart recorder connected, so halden-cli runs once with
// a chart (--chart, the same work) and once without. Prints instrument time
// per wall second of each, and per second of CPU time (the page's main
// thread, chromium's ThreadTime; halden-cli's user and system time), the
// best of the runs: on a busy machine the CPU figure moves far less.
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
const { openBrowser, powerUpToSingleMeasure, putInCell, TO_SINGLE_MEASURE_SCENARIO } = await import(
  '../tests/web/browser.mjs');

const IDLE_SCENARIO = TO_SINGLE_MEASURE_SCENARIO + `sample dye
wait ${seconds * 10000}s
`;

async function pageSpeed(profile) {
  const browser = await openBrowser();
  try {
    const page = await browser.page();
    await powerUpToSingleMeasure(page);
    await putInCell(page, 'dye');
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Performance.enable');
    if (profile) {
      await cdp.send('Profiler.enable');
      await cdp.send('Profiler.start');
    }
    const sample = async () => {
      const { metrics } = await cdp.send('Performance.getMetrics');
      const cpu = metrics.find((m) => m.name === 'ThreadTime').value;
      const [firmwareMs, wallMs] = await page.evaluate(() => [window.halden.firmwareMs(), performance.now()]);
      return { firmwareMs, wallMs, cpuMs: cpu * 1000 };
    };
    const start = await sample();
    await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
    const end = await sample();
    if (profile)
      fs.writeFileSync(profile, JSON.stringify((await cdp.send('Profiler.stop')).profile));
    const firmwareMs = end.firmwareMs - start.firmwareMs;
    return { wall: firmwareMs / (end.wallMs - start.wallMs), cpu: firmwareMs / (end.cpuMs - start.cpuMs) };
  } finally {
    await browser.close();
  }
}

// halden-cli's own figure (--stats, on stderr, timed from power-up) and
// its instrument time per second of CPU time (bash's times of its child).
function cliSpeed(withChart) {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'halden-bench-'));
  try {
    const scenario = path.join(scratch, 'idle.scn');
    fs.writeFileSync(scenario, IDLE_SCENARIO);
    const chart = withChart ? ['--chart', path.join(scratch, 'chart.csv')] : [];
    const stderr = path.join(scratch, 'stderr');
    const times = execFileSync('bash', ['-c', '"$@" 2>"$STDERR" >/dev/null; times', 'bench',
      path.join(build, 'host/headless/halden-cli'), '--stats', '--eeprom', path.join(scratch, 'eeprom.bin'),
      ...chart, scenario], { encoding: 'utf8', env: { ...process.env, STDERR: stderr } });
    const match = /(\d+) ms of firmware time in ([\d.]+) ms/.exec(fs.readFileSync(stderr, 'utf8'));
    // The second line of times: the children's user and system time, "0m0.123s 0m0.004s".
    const cpuSeconds = times.trim().split('\n')[1].trim().split(/\s+/)
      .map((t) => /(\d+)m([\d.]+)s/.exec(t)).reduce((sum, m) => sum + Number(m[1]) * 60 + Number(m[2]), 0);
    return { wall: Number(match[1]) / Number(match[2]), cpu: Number(match[1]) / (cpuSeconds * 1000) };
  } finally {
    fs.rmSync(scratch, { recursive: true, force: true });
  }
}

const best = { page: { wall: 0, cpu: 0 }, chart: { wall: 0, cpu: 0 }, plain: { wall: 0, cpu: 0 } };
const keep = (name, speed) => {
  best[name].wall = Math.max(best[name].wall, speed.wall);
  best[name].cpu = Math.max(best[name].cpu, speed.cpu);
};
for (let i = 0; i < runs; i++) {
  keep('page', await pageSpeed(i === runs - 1 ? profileFile : ''));
  keep('chart', cliSpeed(true));
  keep('plain', cliSpeed(false));
}
const f = (x) => Math.round(x).toString().padStart(7);
const line = (label, name) => {
  const b = best[name];
  const ratio = name === 'page' ? ''
    : `   page/native ${(best.page.wall / b.wall).toFixed(2)} wall, ${(best.page.cpu / b.cpu).toFixed(2)} CPU`;
  console.log(`${label.padEnd(28)} ${f(b.wall)} x real time, ${f(b.cpu)} per CPU second${ratio}`);
};
console.log('idle on single-measure, as fast as possible:');
line('  the page', 'page');
line('  halden-cli with a chart', 'chart');
line('  halden-cli without a chart', 'plain');
