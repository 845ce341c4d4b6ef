// Strip charts on a canvas: a few series against model time, a moving window while driving
// or the whole run when a scenario plays, and an optional reference run drawn beneath in
// grey (the run before, to compare).

const kColours = ['#1f77b4', '#d62728', '#2ca02c', '#9467bd', '#ff7f0e', '#8c564b'];

export class StripChart {
  /**
   * @param {HTMLCanvasElement} canvas
   * @param {{title: string, unit: string, series: string[], scale?: number}} options
   *   series: the names of the lines; scale: factor from the model's unit to the shown one
   */
  constructor(canvas, options) {
    this.canvas = canvas;
    this.title = options.title;
    this.unit = options.unit;
    this.names = options.series;
    this.scale = options.scale || 1;
    this.window = 20;  // s shown while driving
    this.clear();
  }

  /** Forgets every point (the reference stays). */
  clear() {
    this.time = [];
    this.values = this.names.map(() => []);
    this.fixedRange = null;
  }

  /** Shows [start, end] s instead of the moving window (a scenario's duration). */
  setRange(start, end) { this.fixedRange = [start, end]; }

  /** Appends one point of every series at model time `t` (values in the model's units). */
  push(t, values) {
    this.time.push(t);
    for (let k = 0; k < this.names.length; ++k) {
      this.values[k].push(values[k] * this.scale);
    }
    // Keep a little more than the window while driving.
    if (this.fixedRange === null && this.time.length > 4000 && t - this.time[0] > 2 * this.window) {
      const drop = this.time.length - 3000;
      this.time.splice(0, drop);
      this.values.forEach((series) => series.splice(0, drop));
    }
  }

  /** The number of points received since the last clear(). */
  get pointCount() { return this.time.length; }

  /** A run drawn in grey beneath: {time: number[], values: number[][]} in the model's units, or null. */
  setReference(reference) {
    this.reference = reference === null ? null : {
      time: reference.time,
      values: reference.values.map((series) => Array.from(series, (v) => v * this.scale)),
    };
  }

  draw() {
    const canvas = this.canvas;
    const context = canvas.getContext('2d');
    const width = canvas.width;
    const height = canvas.height;
    context.fillStyle = '#ffffff';
    context.fillRect(0, 0, width, height);
    const left = 46;
    const right = width - 6;
    const top = 16;
    const bottom = height - 14;
    let start;
    let end;
    if (this.fixedRange !== null) {
      [start, end] = this.fixedRange;
    } else {
      end = this.time.length > 0 ? Math.max(this.time[this.time.length - 1], this.window) : this.window;
      start = end - this.window;
    }
    let low = Infinity;
    let high = -Infinity;
    const consider = (time, values) => {
      for (const series of values) {
        for (let i = 0; i < time.length; ++i) {
          if (time[i] >= start && time[i] <= end && Number.isFinite(series[i])) {
            low = Math.min(low, series[i]);
            high = Math.max(high, series[i]);
          }
        }
      }
    };
    consider(this.time, this.values);
    if (this.reference) consider(this.reference.time, this.reference.values);
    if (!Number.isFinite(low)) { low = -1; high = 1; }
    if (high - low < 1e-9) { low -= 0.5; high += 0.5; }
    const margin = 0.05 * (high - low);
    low -= margin;
    high += margin;
    const x = (t) => left + (t - start) / (end - start) * (right - left);
    const y = (v) => bottom - (v - low) / (high - low) * (bottom - top);

    context.strokeStyle = '#dddddd';
    context.lineWidth = 1;
    context.beginPath();
    if (low < 0 && high > 0) {
      context.moveTo(left, y(0));
      context.lineTo(right, y(0));
    }
    context.rect(left, top, right - left, bottom - top);
    context.stroke();

    const line = (time, series, colour, widthPx) => {
      context.strokeStyle = colour;
      context.lineWidth = widthPx;
      context.beginPath();
      let started = false;
      for (let i = 0; i < time.length; ++i) {
        if (time[i] < start || time[i] > end || !Number.isFinite(series[i])) { started = false; continue; }
        if (started) context.lineTo(x(time[i]), y(series[i]));
        else context.moveTo(x(time[i]), y(series[i]));
        started = true;
      }
      context.stroke();
    };
    if (this.reference) {
      this.reference.values.forEach((series) => line(this.reference.time, series, '#b0b0b0', 2));
    }
    this.values.forEach((series, k) => line(this.time, series, kColours[k % kColours.length], 1.5));

    context.fillStyle = '#222222';
    context.font = '11px sans-serif';
    context.fillText(this.title + ' [' + this.unit + ']', left, 11);
    let legend = left + context.measureText(this.title + ' [' + this.unit + ']').width + 12;
    if (this.names.length > 1) {
      this.names.forEach((name, k) => {
        context.fillStyle = kColours[k % kColours.length];
        context.fillText(name, legend, 11);
        legend += context.measureText(name).width + 8;
      });
    }
    context.fillStyle = '#555555';
    context.fillText(format(high), 2, top + 8);
    context.fillText(format(low), 2, bottom);
    context.fillText(start.toFixed(1) + ' s', left, height - 2);
    const endText = end.toFixed(1) + ' s';
    context.fillText(endText, right - context.measureText(endText).width, height - 2);
  }
}

function format(value) {
  const magnitude = Math.abs(value);
  if (magnitude >= 1000) return value.toFixed(0);
  if (magnitude >= 10) return value.toFixed(1);
  return value.toFixed(2);
}
