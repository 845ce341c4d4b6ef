// The top view: the ground seen from above, following the car.  World axes X to the
// right and Y up (headings counter-clockwise, as the model counts them); a grid every 5 m
// and a scale bar; the trail of the centre of mass; the car's outline with its heading and
// the front wheels at their steering angle; the cones and the driver's path of a test.

export class TopView {
  /**
   * @param {HTMLCanvasElement} canvas
   * @param {{front: number, rear: number, halfWidth: number, frontAxle: number, rearAxle: number,
   *          halfTrack: number, wheelRadius: number}} car  dimensions in m about the centre of mass
   */
  constructor(canvas, car) {
    this.canvas = canvas;
    this.car = car;
    this.pixelsPerMetre = 9;
    this.trail = [];
    this.reference = [];
    this.markers = [];
    this.paths = [];
    this.pose = {x: 0, y: 0, heading: 0, steer: 0};
    canvas.addEventListener('wheel', (event) => {
      event.preventDefault();
      this.pixelsPerMetre = Math.min(60, Math.max(1, this.pixelsPerMetre * (event.deltaY < 0 ? 1.2 : 1 / 1.2)));
    }, {passive: false});
  }

  clearTrail() { this.trail = []; }
  /** The trail of the run before, drawn in grey; an array of [x, y]. */
  setReferenceTrail(points) { this.reference = points; }
  /** Marked points (cones): [{label, x: [], y: []}]. */
  setMarkers(markers) { this.markers = markers || []; }
  /** Paths of a driver (circle, lane change): arrays of [x, y]. */
  setPaths(paths) { this.paths = paths || []; }

  /** Moves the car (m, rad) and extends the trail. */
  setPose(x, y, heading, steer) {
    this.pose = {x, y, heading, steer};
    const last = this.trail[this.trail.length - 1];
    if (!last || Math.hypot(last[0] - x, last[1] - y) > 0.05) {
      this.trail.push([x, y]);
      if (this.trail.length > 20000) this.trail.splice(0, 5000);
    }
  }

  draw() {
    const canvas = this.canvas;
    const context = canvas.getContext('2d');
    const width = canvas.width;
    const height = canvas.height;
    const scale = this.pixelsPerMetre;
    const {x: cx, y: cy} = this.pose;
    const sx = (x) => width / 2 + (x - cx) * scale;
    const sy = (y) => height / 2 - (y - cy) * scale;

    context.fillStyle = '#f4f6f0';
    context.fillRect(0, 0, width, height);
    // Grid every 5 m (every 25 m when zoomed out).
    const spacing = scale < 3 ? 25 : 5;
    context.strokeStyle = '#dfe3d8';
    context.lineWidth = 1;
    context.beginPath();
    const x0 = Math.floor((cx - width / 2 / scale) / spacing) * spacing;
    for (let x = x0; x <= cx + width / 2 / scale; x += spacing) {
      context.moveTo(sx(x), 0);
      context.lineTo(sx(x), height);
    }
    const y0 = Math.floor((cy - height / 2 / scale) / spacing) * spacing;
    for (let y = y0; y <= cy + height / 2 / scale; y += spacing) {
      context.moveTo(0, sy(y));
      context.lineTo(width, sy(y));
    }
    context.stroke();

    const polyline = (points, colour, lineWidth, dash) => {
      if (points.length < 2) return;
      context.strokeStyle = colour;
      context.lineWidth = lineWidth;
      context.setLineDash(dash || []);
      context.beginPath();
      context.moveTo(sx(points[0][0]), sy(points[0][1]));
      for (const point of points) context.lineTo(sx(point[0]), sy(point[1]));
      context.stroke();
      context.setLineDash([]);
    };
    this.paths.forEach((path) => polyline(path, '#7a9cc6', 1.5, [6, 4]));
    polyline(this.reference, '#b0b0b0', 2);
    polyline(this.trail, '#d62728', 2);

    context.fillStyle = '#ff7f0e';
    for (const marker of this.markers) {
      for (let i = 0; i < marker.x.length; ++i) {
        const px = sx(marker.x[i]);
        const py = sy(marker.y[i]);
        if (px < -5 || px > width + 5 || py < -5 || py > height + 5) continue;
        context.beginPath();
        context.moveTo(px, py - 4);
        context.lineTo(px - 3, py + 3);
        context.lineTo(px + 3, py + 3);
        context.closePath();
        context.fill();
      }
    }

    // The car in its own axes: x forward, y to the left.
    const {heading, steer} = this.pose;
    const car = this.car;
    const c = Math.cos(heading);
    const s = Math.sin(heading);
    const toScreen = (bx, by) => [sx(cx + bx * c - by * s), sy(cy + bx * s + by * c)];
    const polygon = (points, fill, stroke) => {
      context.beginPath();
      points.forEach(([bx, by], k) => {
        const [px, py] = toScreen(bx, by);
        if (k === 0) context.moveTo(px, py); else context.lineTo(px, py);
      });
      context.closePath();
      if (fill) { context.fillStyle = fill; context.fill(); }
      if (stroke) { context.strokeStyle = stroke; context.lineWidth = 1.5; context.stroke(); }
    };
    polygon([[car.front, car.halfWidth], [-car.rear, car.halfWidth], [-car.rear, -car.halfWidth],
             [car.front, -car.halfWidth]], 'rgba(31, 119, 180, 0.25)', '#1f77b4');
    const wheel = (ax, ay, angle) => {
      const l = car.wheelRadius;
      const w = 0.11;
      const ca = Math.cos(angle);
      const sa = Math.sin(angle);
      polygon([[ax + l * ca - w * sa, ay + l * sa + w * ca], [ax - l * ca - w * sa, ay - l * sa + w * ca],
               [ax - l * ca + w * sa, ay - l * sa - w * ca], [ax + l * ca + w * sa, ay + l * sa - w * ca]],
              '#222222', null);
    };
    wheel(car.frontAxle, car.halfTrack, steer);
    wheel(car.frontAxle, -car.halfTrack, steer);
    wheel(-car.rearAxle, car.halfTrack, 0);
    wheel(-car.rearAxle, -car.halfTrack, 0);
    // Heading: an arrow from the centre of mass.
    const [hx0, hy0] = toScreen(0, 0);
    const [hx1, hy1] = toScreen(car.front + 1.5, 0);
    context.strokeStyle = '#1f77b4';
    context.lineWidth = 2;
    context.beginPath();
    context.moveTo(hx0, hy0);
    context.lineTo(hx1, hy1);
    context.stroke();

    // Scale bar: 10 m (50 m zoomed out).
    const bar = scale < 3 ? 50 : 10;
    context.strokeStyle = '#222222';
    context.lineWidth = 2;
    context.beginPath();
    context.moveTo(12, height - 14);
    context.lineTo(12 + bar * scale, height - 14);
    context.moveTo(12, height - 18);
    context.lineTo(12, height - 10);
    context.moveTo(12 + bar * scale, height - 18);
    context.lineTo(12 + bar * scale, height - 10);
    context.stroke();
    context.fillStyle = '#222222';
    context.font = '11px sans-serif';
    context.fillText(bar + ' m', 16, height - 20);
    context.fillText('X ' + cx.toFixed(1) + ' m   Y ' + cy.toFixed(1) + ' m   heading ' +
                     (heading * 180 / Math.PI).toFixed(1) + '°', 12, 14);
  }
}
