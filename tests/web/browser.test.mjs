// The playground page in headless Chromium (Debian's chromium, driven by puppeteer-core):
// it loads cleanly with the portable maths, a scripted drive moves the car as the keys say
// and feeds the charts, an example scenario gives corvanta-sim's rows and CSV (portable
// maths) bit for bit and byte for byte, the recorded drive replays natively to the live
// bits, a standard test fills the metrics table, and a screenshot taken mid-drive
// (output/playground.png) shows the page.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {createRequire} from 'node:module';

import {assertSameCsv, bits, examples, lastRow, nativeCsv, output, sha256, site} from './support.mjs';

const npm = process.env.CORVANTA_WEB_NPM;
const chromium = process.env.CORVANTA_CHROMIUM;
if (!npm || !chromium) {
  throw new Error('CORVANTA_WEB_NPM and CORVANTA_CHROMIUM are not set: run the browser tests through ctest');
}
const puppeteer = createRequire(path.join(npm, 'package.json'))('puppeteer-core');
const downloads = path.join(output, 'downloads');
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const types = {'.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css',
               '.json': 'application/json', '.ts': 'text/plain'};
let server;
let browser;
let page;
const problems = [];

before(async () => {
  fs.rmSync(downloads, {recursive: true, force: true});
  fs.mkdirSync(downloads, {recursive: true});
  server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(site, name === '/' ? 'index.html' : name);
    if (!file.startsWith(site)) {
      response.writeHead(403);
      response.end();
      return;
    }
    fs.readFile(file, (error, data) => {
      response.writeHead(error ? 404 : 200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
      response.end(error ? '' : data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  browser = await puppeteer.launch({executablePath: chromium, headless: true,
                                    args: ['--no-sandbox', '--disable-dev-shm-usage']});
  page = await browser.newPage();
  page.on('console', (message) => { if (message.type() === 'error') problems.push('console: ' + message.text()); });
  page.on('pageerror', (error) => problems.push('page error: ' + error.message));
  page.on('requestfailed', (request) => problems.push('request failed: ' + request.url()));
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.setViewport({width: 1400, height: 1000});
  await page.goto(`http://127.0.0.1:${server.address().port}/`, {waitUntil: 'load'});
  await page.waitForFunction(() => document.getElementById('status').textContent === 'ready', {timeout: 60000});
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
});

const state = () => page.evaluate(() => window.playground.state());
const chartPoints = () => page.evaluate(() => window.playground.chartPoints());

// Waits for a download called `name` to be complete; returns its bytes.
async function downloaded(name) {
  const file = path.join(downloads, name);
  for (let k = 0; k < 200; ++k) {
    if (fs.existsSync(file) && !fs.existsSync(file + '.crdownload')) {
      return fs.readFileSync(file);
    }
    await sleep(50);
  }
  throw new Error('no download ' + name + ' in ' + downloads);
}

test('the page loads without a console error and reports the portable maths', async () => {
  assert.deepEqual(problems, []);
  assert.equal(await page.$eval('#maths', (element) => element.textContent), 'portable');
  assert.equal(await page.evaluate(() => window.playground.maths()), 'portable');
});

test('a scripted drive: the throttle key raises the speed, the left key turns left, the charts get points', async () => {
  await page.focus('#topview');
  const start = await state();
  const pointsAtStart = await chartPoints();
  assert.equal(start.mode, 'live');
  await page.keyboard.down('ArrowUp');
  await sleep(2000);
  const straight = await state();
  assert.ok(straight.speed > start.speed + 1, `speed ${start.speed} -> ${straight.speed} m/s`);
  assert.ok(Math.abs(straight.heading) < 1e-9, `heading without steering ${straight.heading}`);
  assert.ok(straight.demand > 1.9, 'the demand ramped up to full');
  assert.ok(await chartPoints() > pointsAtStart + 20, 'the charts receive points');
  await page.keyboard.down('ArrowLeft');
  await sleep(1500);
  const turning = await state();
  assert.ok(turning.heading > straight.heading + 0.05, `heading ${straight.heading} -> ${turning.heading} rad`);
  assert.ok(turning.steer > 0 && turning.steer <= 0.4, `steering ${turning.steer}`);
  assert.ok(turning.y > straight.y, 'the car moves to the left (+Y)');

  // Mid-drive: the screenshot, checked not to be blank (many colours over the picture).
  const shot = path.join(output, 'playground.png');
  const image = await page.screenshot({path: shot});
  const colours = await page.evaluate(async (data) => {
    const picture = new Image();
    picture.src = 'data:image/png;base64,' + data;
    await picture.decode();
    const canvas = document.createElement('canvas');
    canvas.width = picture.width;
    canvas.height = picture.height;
    const context = canvas.getContext('2d');
    context.drawImage(picture, 0, 0);
    const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
    const seen = new Set();
    for (let i = 0; i < pixels.length; i += 4 * 97) seen.add((pixels[i] << 16) | (pixels[i + 1] << 8) | pixels[i + 2]);
    return seen.size;
  }, Buffer.from(image).toString('base64'));
  assert.ok(colours > 30, `the screenshot has ${colours} colours`);
  console.log(`screenshot ${shot}: ${image.length} bytes, ${colours} colours sampled`);

  await page.keyboard.up('ArrowLeft');
  await page.keyboard.up('ArrowUp');
  await sleep(300);
  await page.evaluate(() => window.playground.pause(true));
  const live = await page.evaluate(() => ({bits: window.playground.outputBits(), steps: window.playground.state().steps}));
  await page.click('#download-drive');
  const drive = await downloaded('drive.csv');
  const replay = nativeCsv(path.join(downloads, 'drive.csv'), 'browser-drive-replay.csv', ['--every', '1']);
  assert.equal(replay.trim().split('\n').length, live.steps + 2, 'a row per step, the row at time 0 and the header');
  assert.deepEqual(bits(lastRow(replay).slice(1)), live.bits, 'the native replay ends where the page ended');
  console.log(`drive: ${live.steps} steps, ${drive.length} bytes of recorded inputs, replayed natively to the same bits`);
  await page.evaluate(() => window.playground.pause(false));
});

for (const file of ['double-lane-change.json', 'driver-lane-change.json']) {
  test(`the example ${file} runs in the page to the rows and the CSV file of corvanta-sim (portable maths)`, async () => {
    await page.select('#rate', 'max');  // the playback at once
    await page.select('#example', file);
    await page.click('#run-example');
    const stem = file.replace(/\.json$/, '');
    await page.waitForFunction((name) => window.playground.lastRun() && window.playground.lastRun().name === name,
                               {timeout: 60000}, stem);
    const run = await page.evaluate(() => window.playground.lastRun());
    const expected = nativeCsv(path.join(examples, file), 'browser-' + stem + '.csv');
    const hash = assertSameCsv(run.csv, expected, file + ' in the page');
    assert.equal(run.hash, hash, 'the hash the page shows');
    console.log(`${file}: SHA-256 ${hash} in the page and natively`);
    await page.click('#download-csv');
    const bytes = await downloaded(stem + '.csv');
    assert.ok(bytes.equals(Buffer.from(expected, 'utf8')), 'the downloaded CSV is corvanta-sim\'s file, byte for byte');
    await page.waitForFunction(() => window.playground.playbackDone(), {timeout: 120000});
    assert.ok(await chartPoints() > 0);
  });
}

test('a standard test runs in the page and fills the metrics table', async () => {
  await page.select('#test', 'braking');
  await page.click('#run-test');
  await page.waitForFunction(() => window.playground.lastRun() && window.playground.lastRun().name.startsWith('braking'),
                             {timeout: 120000});
  const run = await page.evaluate(() => window.playground.lastRun());
  const rows = await page.$$eval('#metrics tbody tr', (elements) => elements.map((row) => row.children[0].textContent));
  assert.ok(run.metrics.length > 0);
  assert.deepEqual(rows, run.metrics.map((metric) => metric.name));
  assert.deepEqual(problems, [], 'no console error during the runs');
});

test('steps per second in the page (reported, not judged: bench/README.md compares them)', async () => {
  const rate = await page.evaluate(() => window.playground.stepsPerSecond(2));
  console.log(`the page steps ${Math.round(rate)} steps/s, ${(rate * 1e-4).toFixed(1)} x real time`);
  assert.ok(rate > 0);
});
