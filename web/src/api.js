// The JavaScript API of the Corvanta WebAssembly module (web/src/corvanta.d.ts has the
// same as TypeScript declarations).  Appended to the module's runtime: everything is
// attached to the instance the factory resolves to, beside the seven C functions
// (_CreateVehicleModel, ..., _Terminate), _malloc, _free and HEAPF64.
//
//   import createCorvanta from './corvanta.mjs';
//   const corvanta = await createCorvanta();
//   const car = corvanta.createVehicle();           // the built-in car, in drive
//   car.setInputs({AccelerationDemand: 1.5});
//   car.step(1000);                                 // 0.1 s
//   car.outputs[3];                                 // LongitudinalSpeed, m/s
//   const run = corvanta.runScenario(jsonText, {source: 'lane-change.json'});
//   run.csv;                                        // corvanta-sim's CSV, byte for byte
//
// Units are SI (m, s, rad, m/s); axes: x forward, y left, angles counter-clockwise from
// above.  Time advances in steps of 0.0001 s.

/** Model time per step, s. */
Module['stepSize'] = 1e-4;

function corvantaText(pointer) {
  return pointer ? UTF8ToString(pointer) : '';
}

// A string copied onto the heap (UTF-8, NUL-terminated): [pointer, byte length]; the
// caller frees the pointer.  null/undefined/'' give [0, 0].
function corvantaHeapString(text) {
  if (text === null || text === undefined || text === '') {
    return [0, 0];
  }
  const length = lengthBytesUTF8(text);
  const pointer = Module['_malloc'](length + 1);
  if (!pointer) {
    throw new Error('out of memory');
  }
  stringToUTF8(text, pointer, length + 1);
  return [pointer, length];
}

// The string a C function handed out with malloc, freed here.
function corvantaTakeText(pointer) {
  const text = corvantaText(pointer);
  if (pointer) {
    Module['_free'](pointer);
  }
  return text;
}

// A function taking `char **error`: calls it with an error slot and throws the message.
function corvantaWithError(call) {
  const slot = Module['_malloc'](4);
  HEAPU32[slot >> 2] = 0;
  try {
    const result = call(slot);
    const message = corvantaTakeText(HEAPU32[slot >> 2]);
    return [result, message];
  } finally {
    Module['_free'](slot);
  }
}

// Names of a numbered list of the C side.
function corvantaNames(count, nameOf) {
  const names = [];
  for (let index = 0; index < count; ++index) {
    names.push(corvantaText(nameOf(index)));
  }
  return names;
}

// A Float64Array over `count` doubles at `pointer`, made anew only when the memory has
// grown (the old view then no longer covers it).
function corvantaView(pointer, count) {
  let view = null;
  return function () {
    if (view === null || view.buffer !== HEAPF64.buffer) {
      view = new Float64Array(HEAPF64.buffer, pointer, count);
    }
    return view;
  };
}

let corvantaNameCache = null;
function corvantaNameLists() {
  if (corvantaNameCache === null) {
    const inputs = corvantaNames(8, (i) => Module['_corvanta_engine_input_name'](i));
    const outputs = corvantaNames(7, (i) => Module['_corvanta_engine_output_name'](i));
    const signalCount = Module['_corvanta_signal_count']();
    const signals = corvantaNames(signalCount, (i) => Module['_corvanta_signal_name'](i));
    const units = corvantaNames(signalCount, (i) => Module['_corvanta_signal_unit'](i));
    corvantaNameCache = {inputs, outputs, signals, units};
  }
  return corvantaNameCache;
}

/**
 * Names of the eight inputs in the order of the input record (ExtU_Corvanta_T).
 * @returns {string[]}
 */
Module['inputNames'] = () => corvantaNameLists().inputs.slice();
/**
 * Names of the seven outputs in the order of the output record (ExtY_Corvanta_T).
 * @returns {string[]}
 */
Module['outputNames'] = () => corvantaNameLists().outputs.slice();
/**
 * Names of every signal of an instance (the seven outputs first), and their units.
 * @returns {string[]}
 */
Module['signalNames'] = () => corvantaNameLists().signals.slice();
/** @returns {string[]} */
Module['signalUnits'] = () => corvantaNameLists().units.slice();

/**
 * Which sin, cos, atan and exp the model computes with: "portable" (its own correctly
 * rounded functions, the bits of every native portable-maths build).
 * @returns {string}
 */
Module['maths'] = () => corvantaText(Module['_corvanta_web_maths']());

/** @returns {string} the engine's version */
Module['version'] = () => corvantaText(Module['_corvanta_engine_version']());

/**
 * A live instance of a vehicle: write the inputs, step, read the outputs and signals.
 * The arrays are views on the module's memory, updated in place by every step.
 */
class CorvantaVehicle {
  constructor(handle) {
    this.handle = handle;
    const names = corvantaNameLists();
    this.inputNames = names.inputs;
    this.signalNames = names.signals;
    this.inputView = corvantaView(Module['_corvanta_web_session_inputs'](handle), names.inputs.length);
    this.outputView = corvantaView(Module['_corvanta_web_session_outputs'](handle), names.outputs.length);
    this.signalView = corvantaView(Module['_corvanta_web_session_signals'](handle), names.signals.length);
  }

  /** The input record the next steps use (8 doubles, inputNames() order); writable. @type {Float64Array} */
  get inputs() { this.check(); return this.inputView(); }
  /** The outputs after the last step (7 doubles, outputNames() order). @type {Float64Array} */
  get outputs() { this.check(); return this.outputView(); }
  /** Every signal after the last step, or at the start of the run (signalNames() order). @type {Float64Array} */
  get signals() { this.check(); return this.signalView(); }
  /** Steps taken since the last initialisation. @type {number} */
  get steps() { this.check(); return Module['_corvanta_web_session_step_count'](this.handle); }
  /** Model time since the last initialisation, s. @type {number} */
  get time() { return this.steps * 1e-4; }

  /**
   * Sets inputs by name ({AccelerationDemand: 1, SteeringAngle: 0.02}) or all eight at
   * once (an array in inputNames() order); inputs not named keep their values.
   * @param {Object<string, number>|ArrayLike<number>} values
   */
  setInputs(values) {
    const inputs = this.inputs;
    if (values !== null && typeof values === 'object' && typeof values.length === 'number') {
      if (values.length !== inputs.length) {
        throw new RangeError('setInputs: expected ' + inputs.length + ' values, got ' + values.length);
      }
      inputs.set(values);
      return;
    }
    for (const name of Object.keys(values)) {
      const value = values[name];
      const index = this.inputNames.indexOf(name);
      if (index < 0) {
        throw new RangeError('setInputs: unknown input "' + name + '"; the inputs are ' + this.inputNames.join(', '));
      }
      inputs[index] = Number(value);
    }
  }

  /** Starts a new run from the inputs as they are (the initial pose and speed among them). */
  initialize() { this.check(); Module['_corvanta_web_session_initialize'](this.handle); }

  /**
   * Takes `count` steps of 0.0001 s with the inputs as they are.
   * @param {number} [count=1]
   * @returns {number} steps taken since the last initialisation
   */
  step(count = 1) {
    this.check();
    if (!Number.isInteger(count) || count < 0 || count > 0xffffffff) {
      throw new RangeError('step: expected a whole number of steps from 0 to 2^32-1, got ' + count);
    }
    return Module['_corvanta_web_session_step'](this.handle, count);
  }

  /**
   * The value of one signal after the last step.
   * @param {string} name a name of signalNames()
   * @returns {number}
   */
  signal(name) {
    const index = this.signalNames.indexOf(name);
    if (index < 0) {
      throw new RangeError('signal: unknown signal "' + name + '"');
    }
    return this.signals[index];
  }

  /**
   * The run since the last initialisation as recorded inputs (CSV), which corvanta-sim
   * replays step for step to the same bits.
   * @returns {string}
   */
  recordedInputs() {
    this.check();
    const pointer = Module['_corvanta_web_session_recorded_inputs'](this.handle);
    if (!pointer) {
      throw new Error('the drive could not be written as recorded inputs');
    }
    return corvantaTakeText(pointer);
  }

  /** Releases the instance; it cannot be used afterwards. */
  delete() {
    if (this.handle) {
      Module['_corvanta_web_session_free'](this.handle);
      this.handle = 0;
    }
  }

  check() {
    if (!this.handle) {
      throw new Error('the vehicle instance has been deleted');
    }
  }
}

/**
 * A live instance of the built-in car or of a vehicle file, initialised in drive
 * (GearSelector 1) with the other inputs zero.
 * @param {string} [vehicleJson] the text of a vehicle file (docs/vehicle-parameters.md)
 * @returns {CorvantaVehicle}
 * @throws {Error} with the vehicle's problems
 */
Module['createVehicle'] = function (vehicleJson) {
  const [text, length] = corvantaHeapString(vehicleJson);
  try {
    const [handle, message] = corvantaWithError((slot) => Module['_corvanta_web_session_create'](text, length, slot));
    if (!handle) {
      throw new Error(message || 'the vehicle cannot be simulated');
    }
    return new CorvantaVehicle(handle);
  } finally {
    if (text) Module['_free'](text);
  }
};

// Reads a run result and frees it; throws its error.
function corvantaTakeRun(run) {
  if (!run) {
    throw new Error('out of memory');
  }
  try {
    const error = corvantaText(Module['_corvanta_web_run_error'](run));
    if (error !== '') {
      throw new Error(error);
    }
    const text = corvantaText(Module['_corvanta_web_run_text'](run));
    const count = Module['_corvanta_web_run_row_count'](run);
    const width = Module['_corvanta_web_run_row_width'](run);
    const rows = new Float64Array(count * width);
    if (count * width > 0) {
      rows.set(new Float64Array(HEAPF64.buffer, Module['_corvanta_web_run_rows'](run), count * width));
    }
    return {text, rows, count, width};
  } finally {
    Module['_corvanta_web_run_free'](run);
  }
}

/**
 * Runs a scenario as `corvanta-sim SOURCE -o FILE` does.
 * @param {string} text a JSON scenario or recorded inputs (docs/scenario-format.md)
 * @param {Object} [options]
 * @param {string} [options.source='scenario.json'] its name: messages, and the format by the extension (.json, .csv)
 * @param {number} [options.every=100] a row after every N-th step (and the last, and one at time 0)
 * @param {string} [options.vehicle] a vehicle file's text (corvanta-sim --vehicle)
 * @param {boolean} [options.csvSignals=false] the CSV with every signal column (corvanta-sim --signals all)
 * @returns {{csv: string, columns: string[], rows: Float64Array, rowCount: number, width: number,
 *            column: function(string): Float64Array}}
 *   csv: the CSV file's text; rows: rowCount rows of `width` values in `columns` order
 *   (time, the seven outputs, every further signal), whatever csvSignals says
 * @throws {Error} with the scenario's problems (file:line: ...)
 */
Module['runScenario'] = function (text, options = {}) {
  const source = options.source || 'scenario.json';
  const [scenario, length] = corvantaHeapString(text);
  const [name] = corvantaHeapString(source);
  const [vehicle, vehicleLength] = corvantaHeapString(options.vehicle);
  let result;
  try {
    result = corvantaTakeRun(Module['_corvanta_web_run_scenario'](
      scenario, length, name, vehicle, vehicleLength, options.every === undefined ? 100 : options.every,
      options.csvSignals ? 1 : 0));
  } finally {
    for (const pointer of [scenario, name, vehicle]) {
      if (pointer) Module['_free'](pointer);
    }
  }
  const names = corvantaNameLists();
  const columns = ['time'].concat(names.signals);
  const {rows, count, width} = result;
  return {
    csv: result.text,
    columns,
    rows,
    rowCount: count,
    width,
    column(column) {
      const index = columns.indexOf(column);
      if (index < 0) {
        throw new RangeError('unknown column "' + column + '"');
      }
      const values = new Float64Array(count);
      for (let row = 0; row < count; ++row) {
        values[row] = rows[row * width + index];
      }
      return values;
    },
  };
};

// A CSV text of numbers into {columns, data: {name: Float64Array}}.
function corvantaParseCsv(text) {
  const lines = text.split('\n').filter((line) => line !== '');
  const columns = lines.length > 0 ? lines[0].split(',') : [];
  const data = {};
  columns.forEach((name) => { data[name] = new Float64Array(lines.length - 1); });
  for (let row = 1; row < lines.length; ++row) {
    const values = lines[row].split(',');
    for (let index = 0; index < columns.length; ++index) {
      data[columns[index]][row - 1] = Number(values[index]);
    }
  }
  return {columns, data};
}

/**
 * The standard tests and their options (corvanta-sim test --list).
 * @returns {{name: string, summary: string, options: {name: string, value: number, unit: string, help: string,
 *            min: number, max: number}[]}[]}
 */
Module['standardTests'] = function () {
  return JSON.parse(corvantaTakeText(Module['_corvanta_web_standard_tests']()) || '[]');
};

/**
 * Runs a standard test as `corvanta-sim test NAME` does.
 * @param {string} name e.g. "step-steer" (standardTests())
 * @param {Object} [options]
 * @param {Object<string, number>} [options.options] the test's options ({speed: 25})
 * @param {string} [options.vehicle] a vehicle file's text
 * @param {number} [options.every=10] a CSV row every N recorded frames (0.001 s apart)
 * @returns {{result: Object, metrics: {name: string, value: number, unit: string, definition: string}[],
 *            runs: {name: string, scenario: string, csv: string, path: number[][], columns: string[],
 *                   data: Object<string, Float64Array>}[], markers: {label: string, x: number[], y: number[]}[]}}
 *   result: metrics.json as corvanta-sim test writes it
 */
Module['runStandardTest'] = function (name, options = {}) {
  const [testName] = corvantaHeapString(name);
  const [testOptions, optionsLength] = corvantaHeapString(options.options ? JSON.stringify(options.options) : '');
  const [vehicle, vehicleLength] = corvantaHeapString(options.vehicle);
  let result;
  try {
    result = corvantaTakeRun(Module['_corvanta_web_run_test'](
      testName, testOptions, optionsLength, vehicle, vehicleLength, options.every === undefined ? 10 : options.every));
  } finally {
    for (const pointer of [testName, testOptions, vehicle]) {
      if (pointer) Module['_free'](pointer);
    }
  }
  const parsed = JSON.parse(result.text);
  const runs = parsed.runs.map((run) => Object.assign(run, corvantaParseCsv(run.csv)));
  return {result: parsed.result, metrics: parsed.metrics, runs, markers: parsed.markers};
};

/**
 * A vehicle file: `base` (a vehicle file's text; default the built-in car) with the
 * given parameters set, e.g. {VehicleMass: 1900, PDY1: 0.9, FinalDriveRatio: 2.3}.
 * @param {Object<string, number>} changes
 * @param {string} [base]
 * @returns {string} the complete vehicle file
 * @throws {Error} for an unknown parameter or a value out of bounds
 */
Module['vehicleJson'] = function (changes, base) {
  const [baseText, baseLength] = corvantaHeapString(base);
  const [changesText, changesLength] = corvantaHeapString(JSON.stringify(changes || {}));
  try {
    const [pointer, message] = corvantaWithError(
      (slot) => Module['_corvanta_web_vehicle_json'](baseText, baseLength, changesText, changesLength, slot));
    if (!pointer) {
      throw new Error(message || 'the vehicle cannot be made');
    }
    return corvantaTakeText(pointer);
  } finally {
    for (const pointer of [baseText, changesText]) {
      if (pointer) Module['_free'](pointer);
    }
  }
};

/**
 * A scalar parameter of the built-in car (or a tyre coefficient of its front tyre).
 * @param {string} name e.g. "VehicleMass"
 * @returns {number} NaN for an unknown name or a table
 */
Module['builtinParameter'] = function (name) {
  const [text] = corvantaHeapString(name);
  try {
    return Module['_corvanta_web_builtin_parameter'](text);
  } finally {
    if (text) Module['_free'](text);
  }
};
