// The evaluation graph: the engine's score after each move over the whole
// game, from one side's view, so that a player sees where the game turned.
const SVG = 'http://www.w3.org/2000/svg';
const WIDTH = 400, HEIGHT = 120, CLIP = 300;  // scores beyond a few men's worth all look lost

function node(tag, attributes) {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
  return e;
}

// scores[ply]: the score after that many moves (null where none is known);
// sign: 1 for Black's view, -1 for White's. onPick(ply) when a point is clicked.
export function drawGraph(svg, scores, sign, current, onPick) {
  svg.replaceChildren();
  const plies = Math.max(scores.length - 1, 1);
  const x = (ply) => (ply / plies) * WIDTH;
  const y = (score) => HEIGHT / 2 - (Math.max(-CLIP, Math.min(CLIP, sign * score)) / CLIP) * (HEIGHT / 2 - 6);
  svg.append(node('line', { class: 'axis', x1: 0, y1: HEIGHT / 2, x2: WIDTH, y2: HEIGHT / 2 }));
  svg.append(node('line', { class: 'now', x1: x(current), y1: 0, x2: x(current), y2: HEIGHT }));
  const known = scores.map((s, ply) => [ply, s]).filter(([, s]) => s !== null && s !== undefined);
  if (known.length > 1)
    svg.append(node('polyline', { class: 'line', points: known.map(([p, s]) => `${x(p)},${y(s)}`).join(' ') }));
  for (const [ply, s] of known) {
    const dot = node('circle', { cx: x(ply), cy: y(s), r: 3 });
    dot.append(node('title', {}));
    dot.firstChild.textContent = `after move ${ply}: ${sign * s > 0 ? '+' : ''}${sign * s}`;
    dot.addEventListener('click', () => onPick(ply));
    svg.append(dot);
  }
  return known.length;
}
