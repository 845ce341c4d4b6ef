// What the playground's tests share: the native portable runner, CSV comparison with the
// first differing row, exact comparison of doubles by their bits.
import {execFileSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';

export const site = process.env.CORVANTA_WEB_SITE;
export const output = process.env.CORVANTA_WEB_OUTPUT;
export const simulator = process.env.CORVANTA_SIM_PORTABLE;
export const examples = process.env.CORVANTA_EXAMPLES;
for (const [name, value] of Object.entries({CORVANTA_WEB_SITE: site, CORVANTA_WEB_OUTPUT: output,
                                             CORVANTA_SIM_PORTABLE: simulator, CORVANTA_EXAMPLES: examples})) {
  if (!value) {
    throw new Error(name + ' is not set: run the playground tests through ctest (tests/web/CMakeLists.txt)');
  }
}
fs.mkdirSync(output, {recursive: true});

export function sha256(text) {
  return createHash('sha256').update(text).digest('hex');
}

/** Runs corvanta-sim-portable with `args`; returns its standard output. */
export function native(args) {
  return execFileSync(simulator, args, {encoding: 'utf8', maxBuffer: 1 << 28});
}

/** The CSV corvanta-sim-portable writes for `scenario` with `extra` options. */
export function nativeCsv(scenario, name, extra = []) {
  const file = path.join(output, name);
  native([scenario, '-o', file, '-q', ...extra]);
  return fs.readFileSync(file, 'utf8');
}

/**
 * Fails unless the two CSV texts are the same bytes; the message has both hashes and the
 * first row that differs.
 */
export function assertSameCsv(actual, expected, what) {
  const a = sha256(actual);
  const b = sha256(expected);
  if (a === b && actual === expected) {
    return a;
  }
  const left = actual.split('\n');
  const right = expected.split('\n');
  let row = 0;
  while (row < Math.min(left.length, right.length) && left[row] === right[row]) ++row;
  throw new Error(`${what}: the CSV differs (SHA-256 ${a} against ${b}); first differing line ${row + 1}:\n` +
                  `  page:   ${left[row]}\n  native: ${right[row]}`);
}

/** The last row of a CSV text as numbers (JavaScript reads them exactly). */
export function lastRow(csv) {
  const lines = csv.trim().split('\n');
  return lines[lines.length - 1].split(',').map(Number);
}

/** The bit patterns of doubles as hex strings (sign of zero and NaN payloads kept). */
export function bits(values) {
  const view = new DataView(new ArrayBuffer(8));
  return Array.from(values, (v) => {
    view.setFloat64(0, v);
    return view.getBigUint64(0).toString(16).padStart(16, '0');
  });
}
