// TypeScript declarations of corvanta.mjs, the Corvanta WebAssembly module (web/src/api.js
// has the same with its comments).  Units SI; time steps of 0.0001 s.

/** A live instance: write `inputs`, call step(), read `outputs` and `signals` (views on the module's memory). */
export interface CorvantaVehicle {
  /** The input record the next steps use: 8 doubles in inputNames() order; writable. */
  readonly inputs: Float64Array;
  /** The seven outputs after the last step, in outputNames() order. */
  readonly outputs: Float64Array;
  /** Every signal after the last step (or at the start of the run), in signalNames() order. */
  readonly signals: Float64Array;
  /** Steps since the last initialisation. */
  readonly steps: number;
  /** Model time since the last initialisation, s. */
  readonly time: number;
  setInputs(values: Partial<Record<string, number>> | ArrayLike<number>): void;
  initialize(): void;
  /** Takes `count` steps (default 1); returns the steps since the last initialisation. */
  step(count?: number): number;
  signal(name: string): number;
  /** The drive since the last initialisation as recorded inputs (CSV) that corvanta-sim replays to the same bits. */
  recordedInputs(): string;
  delete(): void;
}

export interface ScenarioRun {
  /** The CSV file corvanta-sim writes for the same scenario, byte for byte. */
  csv: string;
  /** "time" and every signal: the columns of `rows`. */
  columns: string[];
  /** rowCount rows of `width` values. */
  rows: Float64Array;
  rowCount: number;
  width: number;
  column(name: string): Float64Array;
}

export interface Metric { name: string; value: number | null; unit: string; definition: string; }

export interface StandardTestRun {
  name: string;
  /** The run's scenario file (runScenario and corvanta-sim run it as is). */
  scenario: string;
  csv: string;
  path: [number, number][];
  columns: string[];
  data: Record<string, Float64Array>;
}

export interface StandardTestResult {
  /** metrics.json as corvanta-sim test writes it. */
  result: Record<string, unknown>;
  metrics: Metric[];
  runs: StandardTestRun[];
  markers: {label: string; x: number[]; y: number[]}[];
}

export interface StandardTestDefinition {
  name: string;
  summary: string;
  options: {name: string; value: number; unit: string; help: string; min: number; max: number}[];
}

export interface CorvantaModule {
  readonly stepSize: number;
  inputNames(): string[];
  outputNames(): string[];
  signalNames(): string[];
  signalUnits(): string[];
  /** "portable": the model's own correctly rounded sin, cos, atan and exp. */
  maths(): string;
  version(): string;
  createVehicle(vehicleJson?: string): CorvantaVehicle;
  runScenario(text: string, options?: {source?: string; every?: number; vehicle?: string; csvSignals?: boolean}): ScenarioRun;
  standardTests(): StandardTestDefinition[];
  runStandardTest(name: string, options?: {options?: Record<string, number>; vehicle?: string; every?: number}): StandardTestResult;
  vehicleJson(changes: Record<string, number>, base?: string): string;
  builtinParameter(name: string): number;

  // The seven C functions of corvanta.h and the memory, for hosts that drive the model directly.
  _CreateVehicleModel(): number;
  _DeleteVehicleModel(handle: number): void;
  _Initialize(handle: number): void;
  _SetInputs(handle: number, inputs: number): void;
  _Step(handle: number): void;
  _GetOutputs(handle: number): number;
  _Terminate(handle: number): void;
  _malloc(bytes: number): number;
  _free(pointer: number): void;
  readonly HEAPF64: Float64Array;
}

/** The Emscripten factory: resolves to the module instance. */
export default function createCorvanta(overrides?: object): Promise<CorvantaModule>;
