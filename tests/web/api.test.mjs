// The playground module's JavaScript API under Node: the seven functions, a live instance,
// scenario runs and standard tests, each compared with corvanta-sim built with the
// portable maths (byte for byte for the CSV, bit for bit for values).
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {pathToFileURL} from 'node:url';

import {assertSameCsv, bits, examples, lastRow, native, nativeCsv, output, sha256, site} from './support.mjs';

const {default: createCorvanta} = await import(pathToFileURL(path.join(site, 'corvanta.mjs')).href);
const corvanta = await createCorvanta();
const input = (name) => corvanta.inputNames().indexOf(name);

test('the module reports the portable maths and exports the seven functions, malloc, free and HEAPF64', () => {
  assert.equal(corvanta.maths(), 'portable');
  for (const name of ['_CreateVehicleModel', '_DeleteVehicleModel', '_Initialize', '_SetInputs', '_Step',
                      '_GetOutputs', '_Terminate', '_malloc', '_free']) {
    assert.equal(typeof corvanta[name], 'function', name);
  }
  assert.ok(corvanta.HEAPF64 instanceof Float64Array);
  assert.deepEqual(corvanta.outputNames(), ['PositionX', 'PositionY', 'Heading', 'LongitudinalSpeed', 'PitchAngle',
                                            'RollAngle', 'TipOverIndicator']);
  assert.equal(corvanta.signalNames().length, corvanta.signalUnits().length);
});

test('the seven functions and a live instance of the built-in car compute the same bits', () => {
  const record = corvanta._malloc(8 * 8);
  const inputs = new Float64Array(8);
  inputs[input('AccelerationDemand')] = 1.2;
  inputs[input('GearSelector')] = 1;
  inputs[input('SteeringAngle')] = 0.03;
  corvanta.HEAPF64.set(inputs, record / 8);
  const handle = corvanta._CreateVehicleModel();
  assert.notEqual(handle, 0);
  corvanta._SetInputs(handle, record);
  corvanta._Initialize(handle);
  for (let k = 0; k < 5000; ++k) {
    corvanta._SetInputs(handle, record);
    corvanta._Step(handle);
  }
  const pointer = corvanta._GetOutputs(handle);
  const direct = corvanta.HEAPF64.slice(pointer / 8, pointer / 8 + 7);
  corvanta._Terminate(handle);
  corvanta._DeleteVehicleModel(handle);
  corvanta._free(record);

  const car = corvanta.createVehicle();
  car.setInputs(inputs);
  car.initialize();
  car.step(5000);
  assert.deepEqual(bits(car.outputs), bits(direct));
  assert.ok(direct[3] > 0, 'the car moves forward under demand');
  car.delete();
});

test('a live instance: demand raises the speed, left steering turns it left, reverse backs it up', () => {
  const car = corvanta.createVehicle();
  const outputs = car.outputs;  // a view: the same array after every step
  assert.equal(car.inputs[input('GearSelector')], 1, 'created in drive');
  car.setInputs({AccelerationDemand: 1.5});
  car.step(20000);
  assert.equal(car.outputs, outputs);
  const speed = outputs[3];
  assert.ok(speed > 1, `speed after 2 s of demand: ${speed}`);
  assert.ok(Math.abs(outputs[2]) < 1e-9, 'straight on without steering');
  car.setInputs({SteeringAngle: 0.05});
  car.step(20000);
  assert.ok(outputs[2] > 0.05, `heading after 2 s of left steering: ${outputs[2]}`);
  assert.ok(car.signal('YawRate') > 0, 'yaw rate counter-clockwise');
  assert.ok(car.signal('LateralAcceleration') > 0, 'lateral acceleration to the left');
  assert.equal(car.steps, 40000);
  assert.ok(Math.abs(car.time - 4) < 1e-12);

  car.setInputs({AccelerationDemand: 0, SteeringAngle: 0, GearSelector: 3});
  car.initialize();
  assert.equal(car.steps, 0);
  car.setInputs({AccelerationDemand: 1.0});
  car.step(30000);
  assert.ok(outputs[3] < -0.5, `speed in reverse: ${outputs[3]}`);
  car.delete();
  assert.throws(() => car.step(1), /deleted/);
});

test('every example scenario gives the CSV of corvanta-sim (portable maths) byte for byte', () => {
  const files = fs.readdirSync(examples).filter((f) => f.endsWith('.json')).sort();
  assert.ok(files.length >= 5);
  for (const file of files) {
    const text = fs.readFileSync(path.join(examples, file), 'utf8');
    const run = corvanta.runScenario(text, {source: file});
    const hash = assertSameCsv(run.csv, nativeCsv(path.join(examples, file), file + '.csv'), file);
    console.log(`${file}: ${run.rowCount} rows, SHA-256 ${hash}`);
    // The rows hold what the CSV holds, and the signals beyond.
    const last = lastRow(run.csv);
    assert.deepEqual(bits(run.rows.subarray((run.rowCount - 1) * run.width, (run.rowCount - 1) * run.width + 8)),
                     bits(last), file + ': rows and CSV');
  }
});

test('with every signal column, the CSV is that of corvanta-sim --signals all', () => {
  const file = path.join(examples, 'double-lane-change.json');
  const run = corvanta.runScenario(fs.readFileSync(file, 'utf8'),
                                   {source: 'double-lane-change.json', csvSignals: true, every: 100});
  assertSameCsv(run.csv, nativeCsv(file, 'signals.csv', ['--signals', 'all']), 'signals');
  assert.equal(run.rowCount, 901);
  assert.deepEqual(run.columns, run.csv.slice(0, run.csv.indexOf('\n')).split(','));
});

test('a recorded drive replays in corvanta-sim to the bits of the live instance', () => {
  const car = corvanta.createVehicle();
  const drive = [[{AccelerationDemand: 1.99}, 6000], [{SteeringAngle: 0.04}, 3000], [{AccelerationDemand: 0.3}, 1333],
                 [{SteeringAngle: -0.02, AccelerationDemand: -2}, 2000], [{GearSelector: 0}, 1234], [{}, 1]];
  for (const [change, steps] of drive) {
    car.setInputs(change);
    car.step(steps);
  }
  const recorded = car.recordedInputs();
  const file = path.join(output, 'drive.csv');
  fs.writeFileSync(file, recorded);
  const replay = nativeCsv(file, 'drive-replay.csv', ['--every', '1']);
  assert.equal(replay.trim().split('\n').length, 1 + car.steps + 1, 'a row per step and the row at time 0');
  assert.deepEqual(bits(lastRow(replay).slice(1)), bits(car.outputs));
  // The module replays it alike, and the CSV of the drive is corvanta-sim's.
  const again = corvanta.runScenario(recorded, {source: 'drive.csv', every: 1});
  assertSameCsv(again.csv, replay, 'drive');
  car.delete();
});

test('an edited vehicle runs to corvanta-sim --vehicle bits; a heavier car gains less speed', () => {
  const file = path.join(examples, 'full-throttle-start.json');
  const text = fs.readFileSync(file, 'utf8');
  const mass = corvanta.builtinParameter('VehicleMass');
  const sprung = corvanta.builtinParameter('SprungMass');
  assert.equal(mass, 1760);
  const heavier = corvanta.vehicleJson({VehicleMass: mass + 500, SprungMass: sprung + 500});
  const vehicleFile = path.join(output, 'heavier.json');
  fs.writeFileSync(vehicleFile, heavier);
  const run = corvanta.runScenario(text, {source: 'full-throttle-start.json', vehicle: heavier});
  assertSameCsv(run.csv, nativeCsv(file, 'heavier.csv', ['--vehicle', vehicleFile]), 'heavier car');
  const builtin = corvanta.runScenario(text, {source: 'full-throttle-start.json'});
  // The same drive force on 28 % more mass: less speed at every time after the start.
  const speed = run.column('LongitudinalSpeed');
  const builtinSpeed = builtin.column('LongitudinalSpeed');
  const end = run.rowCount - 1;
  assert.ok(speed[end] < builtinSpeed[end], `${speed[end]} against ${builtinSpeed[end]} m/s`);
  assert.ok(speed[end] > 0.6 * builtinSpeed[end], 'but not far less: the drive force is the same');
  assert.throws(() => corvanta.vehicleJson({NoSuchParameter: 1}), /NoSuchParameter/);
  assert.throws(() => corvanta.vehicleJson({VehicleMass: -5}), /VehicleMass/);
});

test('a standard test gives the metrics of corvanta-sim test (portable maths)', () => {
  const tests = corvanta.standardTests();
  assert.ok(tests.some((t) => t.name === 'braking'));
  const vehicle = corvanta.vehicleJson({});
  const vehicleFile = path.join(output, 'builtin.json');
  fs.writeFileSync(vehicleFile, vehicle);
  const result = corvanta.runStandardTest('braking', {vehicle});
  const folder = path.join(output, 'braking');
  native(['test', 'braking', '--vehicle', vehicleFile, '-o', folder, '-q']);
  const expected = JSON.parse(fs.readFileSync(path.join(folder, 'metrics.json'), 'utf8'));
  assert.ok(result.metrics.length > 0);
  for (const metric of result.metrics) {
    assert.equal(metric.value, expected.metrics[metric.name].value, metric.name);
    assert.equal(metric.unit, expected.metrics[metric.name].unit, metric.name);
  }
  assert.deepEqual(result.result, expected);
  // Its run's scenario runs as an ordinary scenario, to corvanta-sim's CSV.
  const run = result.runs[0];
  fs.writeFileSync(path.join(output, 'braking-run.json'), run.scenario);
  const rerun = corvanta.runScenario(run.scenario, {source: run.name + '.json', vehicle});
  assertSameCsv(rerun.csv, nativeCsv(path.join(output, 'braking-run.json'), 'braking-run.csv', ['--vehicle', vehicleFile]),
                'braking run');
  // Distance to stop from the test's speed: v^2 / (2 d) lies below the tyres' friction times g.
  const distance = result.metrics.find((m) => m.name.includes('distance'));
  assert.ok(distance !== undefined && distance.value > 0, 'a stopping distance');
});

test('bad input is refused with the place and the reason', () => {
  assert.throws(() => corvanta.runScenario('{"duration": 1, "inputs": {"Nope": 1}}', {source: 'bad.json'}),
                /bad\.json.*Nope/s);
  assert.throws(() => corvanta.runScenario('{"duration": ', {source: 'cut.json'}), /cut\.json:1/);
  assert.throws(() => corvanta.createVehicle('{"parameters": {"VehicleMass": -5}}'), /VehicleMass/);
  assert.throws(() => corvanta.runStandardTest('no-such-test'), /no-such-test/);
  const car = corvanta.createVehicle();
  assert.throws(() => car.setInputs({Nope: 1}), RangeError);
  assert.throws(() => car.setInputs([1, 2]), RangeError);
  assert.throws(() => car.step(-1), RangeError);
  assert.throws(() => car.step(0.5), RangeError);
  assert.throws(() => car.signal('Nope'), RangeError);
  car.delete();
});
