// The playground: drives the model of corvanta.mjs live in the page (keyboard, gamepad,
// sliders), plays example scenarios and standard tests, draws the top view and the strip
// charts, and hands out the CSV and the recorded drive, which corvanta-sim reproduces.
import createCorvanta from './corvanta.mjs';
import {StripChart} from './charts.js';
import {TopView} from './topview.js';

const kStep = 1e-4;            // s per model step
const kChunk = 100;            // steps between input updates while driving (0.01 s)
const kMaxDemand = 1.99;       // m/s^2, full throttle
const kMaxBrake = -4.0;        // m/s^2
const kMaxSteer = 0.4;         // rad at the road wheels
const kDemandRate = 6.0;       // m/s^2 per s: how fast a key moves the demand
const kSteerRate = 0.5;        // rad/s: how fast a key moves the steering
const kGears = {drive: 1, neutral: 0, reverse: 3};

const $ = (id) => document.getElementById(id);

const corvanta = await createCorvanta();
const signalNames = corvanta.signalNames();
const signalUnits = corvanta.signalUnits();
const inputNames = corvanta.inputNames();
const signalIndex = (name) => signalNames.indexOf(name);
const inputIndex = (name) => inputNames.indexOf(name);

const builtin = {
  mass: corvanta.builtinParameter('VehicleMass'),
  sprungMass: corvanta.builtinParameter('SprungMass'),
  pdx1: corvanta.builtinParameter('PDX1'),
  pdy1: corvanta.builtinParameter('PDY1'),
  finalDrive: corvanta.builtinParameter('FinalDriveRatio'),
};
const frontAxle = corvanta.builtinParameter('FrontAxleDistance');
const wheelbase = corvanta.builtinParameter('Wheelbase');
const topView = new TopView($('topview'), {
  front: 2.06, rear: 2.64, halfWidth: 0.9, frontAxle, rearAxle: wheelbase - frontAxle,
  halfTrack: corvanta.builtinParameter('FrontHalfTrack'), wheelRadius: corvanta.builtinParameter('WheelRadius'),
});

// ---- Charts -------------------------------------------------------------------------

const kDeg = 180 / Math.PI;
const chartDefinitions = [
  {title: 'speed', unit: 'km/h', signals: ['LongitudinalSpeed'], scale: 3.6},
  {title: 'yaw rate', unit: 'deg/s', signals: ['YawRate'], scale: kDeg},
  {title: 'lateral acceleration', unit: 'm/s²', signals: ['LateralAcceleration']},
  {title: 'steering (road wheels)', unit: 'deg', signals: ['FrontSteerAngle'], scale: kDeg},
  {title: 'gear', unit: '1', signals: ['Gear']},
  {title: 'engine speed', unit: 'rpm', signals: ['EngineSpeed'], scale: 60 / (2 * Math.PI)},
  {title: 'throttle and brake', unit: signalUnits[signalIndex('Throttle')] + ', ' + signalUnits[signalIndex('Brake')],
   signals: ['Throttle', 'Brake']},
  {title: 'slip angles', unit: 'deg', signals: ['SlipAngleFL', 'SlipAngleFR', 'SlipAngleRL', 'SlipAngleRR'], scale: kDeg},
  {title: 'lateral tyre forces', unit: 'kN', signals: ['TyreForceYFL', 'TyreForceYFR', 'TyreForceYRL', 'TyreForceYRR'],
   scale: 1e-3},
  {title: 'longitudinal tyre forces', unit: 'kN',
   signals: ['TyreForceXFL', 'TyreForceXFR', 'TyreForceXRL', 'TyreForceXRR'], scale: 1e-3},
];
const charts = chartDefinitions.map((definition) => {
  const canvas = document.createElement('canvas');
  canvas.width = 420;
  canvas.height = 130;
  $('charts').appendChild(canvas);
  const chart = new StripChart(canvas, {
    title: definition.title, unit: definition.unit, scale: definition.scale,
    series: definition.signals.map((name) => name.replace(/^(SlipAngle|TyreForce[XY])/, '')),
  });
  chart.indices = definition.signals.map(signalIndex);
  return chart;
});
let chartPoints = 0;
function pushCharts(time, signals) {
  for (const chart of charts) {
    chart.push(time, chart.indices.map((index) => signals[index]));
  }
  ++chartPoints;
}
function clearCharts() {
  charts.forEach((chart) => chart.clear());
}

// ---- The vehicle and the live instance ----------------------------------------------

let vehicleJson = '';  // '' the built-in car
let car = corvanta.createVehicle();
let mode = 'live';     // 'live' driving, or 'playback' of a run
let paused = false;
let rate = 1;          // model seconds per wall second; Infinity: as fast as possible
const keys = new Set();
const control = {demand: 0, steer: 0, source: 'keys'};

function reinitialize() {
  const inputs = car.inputs;
  inputs.fill(0);
  inputs[inputIndex('GearSelector')] = currentGear;
  control.demand = 0;
  control.steer = 0;
  car.initialize();
  topView.clearTrail();
  clearCharts();
  mode = 'live';
  showControls();
}

let currentGear = kGears.drive;
function selectGear(name) {
  currentGear = kGears[name];
  car.inputs[inputIndex('GearSelector')] = currentGear;
  for (const gear of Object.keys(kGears)) {
    $('gear-' + gear).classList.toggle('active', gear === name);
  }
}

function approach(value, target, step) {
  return value < target ? Math.min(target, value + step) : Math.max(target, value - step);
}

// The driver's demand and steering for the next `dt` seconds of model time.
function updateControls(dt) {
  const up = keys.has('ArrowUp') || keys.has('KeyW');
  const down = keys.has('ArrowDown') || keys.has('KeyS');
  const left = keys.has('ArrowLeft') || keys.has('KeyA');
  const right = keys.has('ArrowRight') || keys.has('KeyD');
  const pad = gamepadState();
  if (up || down || left || right) control.source = 'keys';
  else if (pad !== null && pad.active) control.source = 'pad';
  if (control.source === 'keys') {
    control.demand = approach(control.demand, up ? kMaxDemand : down ? kMaxBrake : 0, kDemandRate * dt);
    control.steer = approach(control.steer, left ? kMaxSteer : right ? -kMaxSteer : 0, kSteerRate * dt);
  } else if (control.source === 'pad' && pad !== null) {
    control.demand = approach(control.demand, pad.demand, kDemandRate * dt);
    control.steer = approach(control.steer, pad.steer, kSteerRate * dt);
  }
  const inputs = car.inputs;
  inputs[inputIndex('AccelerationDemand')] = control.demand;
  inputs[inputIndex('SteeringAngle')] = control.steer;
}

function showControls() {
  $('demand').value = control.demand;
  $('demand-value').textContent = control.demand.toFixed(2);
  $('steer').value = control.steer;
  $('steer-value').textContent = control.steer.toFixed(3);
}

let padButtons = [];
function gamepadState() {
  const pads = navigator.getGamepads ? navigator.getGamepads() : [];
  const pad = Array.from(pads || []).find((p) => p !== null);
  if (!pad) {
    $('gamepad').textContent = 'no gamepad';
    return null;
  }
  $('gamepad').textContent = 'gamepad: ' + pad.id.slice(0, 30);
  const axis = pad.axes.length > 0 && Math.abs(pad.axes[0]) > 0.08 ? pad.axes[0] : 0;
  const throttle = pad.buttons[7] ? pad.buttons[7].value : 0;
  const brake = pad.buttons[6] ? pad.buttons[6].value : 0;
  const pressed = pad.buttons.map((b) => b.pressed);
  const edge = (k) => pressed[k] && !padButtons[k];
  if (edge(0)) selectGear('drive');
  if (edge(1)) selectGear('neutral');
  if (edge(2)) selectGear('reverse');
  if (edge(9)) reinitialize();
  padButtons = pressed;
  return {
    active: axis !== 0 || throttle > 0.02 || brake > 0.02,
    steer: -axis * kMaxSteer,
    demand: brake > 0.02 ? brake * kMaxBrake : throttle * kMaxDemand,
  };
}

// Steps the live instance `steps` steps, updating the controls every 0.01 s.
function driveSteps(steps) {
  while (steps > 0) {
    const chunk = Math.min(kChunk, steps);
    updateControls(chunk * kStep);
    car.step(chunk);
    steps -= chunk;
  }
}

// ---- Runs: example scenarios and standard tests -------------------------------------

const playback = {run: null, index: 0, time: 0};
let lastRun = null;    // {name, csv, scenario, hash, metrics, rows...}
let runBefore = null;

async function sha256(text) {
  const digest = await crypto.subtle.digest('SHA-256', new TextEncoder().encode(text));
  return Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');
}

function referenceOf(run) {
  if (run === null) return null;
  const time = run.result.column('time');
  return {
    time,
    charts: charts.map((chart) => chart.indices.map((index) => run.result.column(signalNames[index]))),
    trail: Array.from(time, (t, k) => [run.x[k], run.y[k]]),
  };
}

async function startRun(name, scenarioText, source, extra) {
  $('status').textContent = 'running ' + name + '…';
  await new Promise((resolve) => setTimeout(resolve, 0));
  const started = performance.now();
  const result = corvanta.runScenario(scenarioText, {source, vehicle: vehicleJson || undefined});
  const wall = (performance.now() - started) / 1000;
  const time = result.column('time');
  const run = {
    name, source, scenario: scenarioText, csv: result.csv, result, wall,
    x: result.column('PositionX'), y: result.column('PositionY'), heading: result.column('Heading'),
    steer: result.column('FrontSteerAngle'), metrics: extra.metrics || [], markers: extra.markers || [],
    paths: extra.paths || [], duration: time[time.length - 1],
  };
  run.hash = await sha256(run.csv);
  // The run before of the same scenario or test, drawn beneath to compare.
  runBefore = lastRun !== null && lastRun.name === name ? lastRun : null;
  lastRun = run;
  const reference = referenceOf(runBefore);
  charts.forEach((chart, k) => {
    chart.clear();
    chart.setRange(0, run.duration);
    chart.setReference(reference === null ? null : {time: reference.time, values: reference.charts[k]});
  });
  topView.clearTrail();
  topView.setReferenceTrail(reference === null ? [] : reference.trail);
  topView.setMarkers(run.markers);
  topView.setPaths(run.paths);
  playback.run = run;
  playback.index = 0;
  playback.time = 0;
  mode = 'playback';
  paused = false;
  $('pause').textContent = 'pause';
  $('download-csv').disabled = false;
  $('download-scenario').disabled = false;
  $('run-info').textContent = run.name + ': ' + result.rowCount + ' rows, ' + run.duration.toFixed(2) + ' s in ' +
                              wall.toFixed(2) + ' s wall';
  $('hash').textContent = 'CSV SHA-256 ' + run.hash;
  showMetrics(run, runBefore);
  $('status').textContent = 'ready';
  return run;
}

function showMetrics(run, before) {
  const body = $('metrics').querySelector('tbody');
  body.textContent = '';
  const format = (value) => (value === null || value === undefined ? '–' : Number(value).toPrecision(5));
  for (const metric of run.metrics) {
    const previous = before === null ? undefined : (before.metrics.find((m) => m.name === metric.name) || {}).value;
    const row = document.createElement('tr');
    row.innerHTML = '<td></td><td class="number"></td><td class="number"></td><td></td>';
    row.children[0].textContent = metric.name;
    row.children[0].title = metric.definition;
    row.children[1].textContent = format(metric.value);
    row.children[2].textContent = format(previous);
    row.children[3].textContent = metric.unit;
    body.appendChild(row);
  }
}

async function runExample(file) {
  const text = await (await fetch('examples/' + file)).text();
  return startRun(file.replace(/\.json$/, ''), text, file, {});
}

async function runStandardTest(name) {
  $('status').textContent = 'running the test ' + name + '…';
  await new Promise((resolve) => setTimeout(resolve, 0));
  const test = corvanta.runStandardTest(name, {vehicle: vehicleJson || undefined});
  const first = test.runs[0];
  return startRun(name + ' (' + first.name + ')', first.scenario, first.name + '.json', {
    metrics: test.metrics, markers: test.markers, paths: test.runs.map((run) => run.path).filter((p) => p.length > 1),
  });
}

function advancePlayback(dt) {
  const run = playback.run;
  playback.time = Math.min(run.duration, playback.time + dt);
  const time = run.result.rows;
  const width = run.result.width;
  const count = run.result.rowCount;
  while (playback.index < count && time[playback.index * width] <= playback.time + 1e-12) {
    const k = playback.index;
    pushCharts(time[k * width], run.result.rows.subarray(k * width + 1, (k + 1) * width));
    topView.setPose(run.x[k], run.y[k], run.heading[k], run.steer[k]);
    ++playback.index;
  }
}

// ---- Downloads ----------------------------------------------------------------------

function download(name, text, type) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([text], {type}));
  link.download = name;
  document.body.appendChild(link);
  link.click();
  setTimeout(() => { URL.revokeObjectURL(link.href); link.remove(); }, 1000);
}

function fileStem(name) { return name.replace(/[^A-Za-z0-9_.-]+/g, '-').replace(/-+$/, ''); }

// ---- The frame loop -----------------------------------------------------------------

let lastFrame = null;
const rtfWindow = [];  // [wall s, model s] of the last second
function frame(now) {
  const wallDt = lastFrame === null ? 0 : Math.min(0.1, (now - lastFrame) / 1000);
  lastFrame = now;
  let modelDt = 0;
  if (!paused) {
    if (mode === 'live') {
      const before = car.steps;
      if (rate === Infinity) {
        const deadline = performance.now() + 12;
        while (performance.now() < deadline) driveSteps(1000);
      } else {
        driveSteps(Math.round(wallDt * rate / kStep));
      }
      modelDt = (car.steps - before) * kStep;
      pushCharts(car.time, car.signals);
      const outputs = car.outputs;
      topView.setPose(outputs[0], outputs[1], outputs[2], car.signals[signalIndex('FrontSteerAngle')]);
    } else {
      const dt = rate === Infinity ? playback.run.duration : wallDt * rate;
      const before = playback.time;
      advancePlayback(dt);
      modelDt = playback.time - before;
    }
  }
  rtfWindow.push([now / 1000, modelDt, wallDt]);
  while (rtfWindow.length > 1 && rtfWindow[0][0] < now / 1000 - 1) rtfWindow.shift();
  const wallSum = rtfWindow.reduce((s, e) => s + e[2], 0);
  const modelSum = rtfWindow.reduce((s, e) => s + e[1], 0);
  $('rtf').textContent = paused ? 'paused' : wallSum > 0 ? (modelSum / wallSum).toFixed(2) + '×' : '–';
  $('model-time').textContent = (mode === 'live' ? car.time : playback.time).toFixed(2);
  if (mode === 'live') showControls();
  topView.draw();
  charts.forEach((chart) => chart.draw());
  requestAnimationFrame(frame);
}

// ---- Wiring -------------------------------------------------------------------------

const drivingKeys = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'KeyW', 'KeyA', 'KeyS', 'KeyD']);
window.addEventListener('keydown', (event) => {
  if (event.target instanceof HTMLInputElement || event.target instanceof HTMLSelectElement) return;
  if (drivingKeys.has(event.code)) {
    event.preventDefault();
    if (mode !== 'live') { mode = 'live'; topView.setMarkers([]); topView.setPaths([]); clearCharts(); }
    keys.add(event.code);
  } else if (event.code === 'KeyF') selectGear('drive');
  else if (event.code === 'KeyN') selectGear('neutral');
  else if (event.code === 'KeyR') selectGear('reverse');
  else if (event.code === 'KeyI') reinitialize();
  else if (event.code === 'KeyP' || event.code === 'Space') { event.preventDefault(); togglePause(); }
  else if (event.code === 'Period') singleStep();
});
window.addEventListener('keyup', (event) => keys.delete(event.code));
window.addEventListener('blur', () => keys.clear());

$('demand').addEventListener('input', () => { control.source = 'sliders'; control.demand = Number($('demand').value); });
$('steer').addEventListener('input', () => { control.source = 'sliders'; control.steer = Number($('steer').value); });
for (const gear of Object.keys(kGears)) $('gear-' + gear).addEventListener('click', () => selectGear(gear));
$('rate').addEventListener('change', () => { rate = $('rate').value === 'max' ? Infinity : Number($('rate').value); });
function togglePause() {
  paused = !paused;
  $('pause').textContent = paused ? 'resume' : 'pause';
}
function singleStep() {
  paused = true;
  $('pause').textContent = 'resume';
  if (mode === 'live') {
    driveSteps(kChunk);
    pushCharts(car.time, car.signals);
    const outputs = car.outputs;
    topView.setPose(outputs[0], outputs[1], outputs[2], car.signals[signalIndex('FrontSteerAngle')]);
  } else {
    advancePlayback(0.01);
  }
}
$('pause').addEventListener('click', togglePause);
$('single-step').addEventListener('click', singleStep);
$('reinit').addEventListener('click', reinitialize);

const examples = await (await fetch('examples/index.json')).json();
for (const example of examples) {
  const option = document.createElement('option');
  option.value = example.file;
  option.textContent = example.name;
  $('example').appendChild(option);
}
for (const test of corvanta.standardTests()) {
  const option = document.createElement('option');
  option.value = test.name;
  option.textContent = test.name + ' — ' + test.summary;
  $('test').appendChild(option);
}
function reportFailure(error) {
  $('status').textContent = error.message;
  $('status').classList.add('error');
  console.warn(error.message);
}
$('run-example').addEventListener('click', () => runExample($('example').value).catch(reportFailure));
$('run-test').addEventListener('click', () => runStandardTest($('test').value).catch(reportFailure));
$('download-csv').addEventListener('click', () => {
  if (lastRun) download(fileStem(lastRun.source.replace(/\.(json|csv)$/, '')) + '.csv', lastRun.csv, 'text/csv');
});
$('download-scenario').addEventListener('click', () => {
  if (lastRun) download(fileStem(lastRun.source), lastRun.scenario, 'application/json');
});
$('download-drive').addEventListener('click', () => download('drive.csv', car.recordedInputs(), 'text/csv'));
$('download-drive-csv').addEventListener('click', () => {
  const run = corvanta.runScenario(car.recordedInputs(), {source: 'drive.csv', vehicle: vehicleJson || undefined});
  download('drive-outputs.csv', run.csv, 'text/csv');
});

$('mass').value = builtin.mass;
$('final-drive').value = builtin.finalDrive;
function vehicleChanges() {
  const mass = Number($('mass').value);
  const friction = Number($('friction').value);
  const finalDrive = Number($('final-drive').value);
  if (mass === builtin.mass && friction === 1 && finalDrive === builtin.finalDrive) return null;
  // The unsprung masses stay; the sprung mass takes the change.
  return {VehicleMass: mass, SprungMass: builtin.sprungMass + (mass - builtin.mass), PDX1: builtin.pdx1 * friction,
          PDY1: builtin.pdy1 * friction, FinalDriveRatio: finalDrive};
}
$('apply-vehicle').addEventListener('click', () => {
  try {
    const changes = vehicleChanges();
    const json = changes === null ? '' : corvanta.vehicleJson(changes);
    const next = corvanta.createVehicle(json || undefined);
    car.delete();
    car = next;
    vehicleJson = json;
    $('vehicle-info').textContent = changes === null ? 'the built-in car' : 'changed: mass ' + changes.VehicleMass +
        ' kg, friction ×' + $('friction').value + ', final drive ' + changes.FinalDriveRatio;
    $('status').classList.remove('error');
    reinitialize();
  } catch (error) {
    reportFailure(error);
  }
});
$('download-vehicle').addEventListener('click', () => {
  download('playground-vehicle.json', vehicleJson || corvanta.vehicleJson({}), 'application/json');
});

// For the tests and the curious: window.playground.
function bitsOf(values) {
  const view = new DataView(new ArrayBuffer(8));
  return Array.from(values, (v) => {
    view.setFloat64(0, v);
    return view.getBigUint64(0).toString(16).padStart(16, '0');
  });
}
window.playground = {
  corvanta,
  maths: () => corvanta.maths(),
  state: () => ({mode, paused, time: car.time, steps: car.steps, speed: car.outputs[3], heading: car.outputs[2],
                 x: car.outputs[0], y: car.outputs[1], demand: control.demand, steer: control.steer}),
  chartPoints: () => chartPoints,
  pause: (value) => { paused = value; $('pause').textContent = paused ? 'resume' : 'pause'; },
  outputBits: () => bitsOf(car.outputs),
  lastRun: () => (lastRun === null ? null : {name: lastRun.name, csv: lastRun.csv, hash: lastRun.hash,
                                             metrics: lastRun.metrics}),
  playbackDone: () => mode === 'playback' && playback.run !== null && playback.index >= playback.run.result.rowCount,
  // Steps per second of a fresh instance at full throttle for about `seconds` of wall time.
  stepsPerSecond: (seconds = 2) => {
    const probe = corvanta.createVehicle(vehicleJson || undefined);
    probe.setInputs({AccelerationDemand: kMaxDemand});
    probe.step(20000);
    const started = performance.now();
    let steps = 0;
    while (performance.now() - started < seconds * 1000) {
      probe.step(10000);
      steps += 10000;
    }
    const rateFound = steps / ((performance.now() - started) / 1000);
    probe.delete();
    return rateFound;
  },
};
$('maths').textContent = corvanta.maths();
$('status').textContent = 'ready';
$('topview').focus();
requestAnimationFrame(frame);
