// The page's logic. The server replays the game from its start position and
// moves on every change and answers with the positions and legal moves; the
// page keeps the game, its scores and the player's choices.
import { Board } from './board.js';
import { drawGraph } from './graph.js';

const $ = (id) => document.getElementById(id);
const CLOCK_TICK_MS = 100;  // the thinking line's clock runs between engine reports

const game = {
  fen: '',          // start position; '' for the standard start
  moves: [],        // notation, "11-15"
  scores: [],       // per ply: the engine's score after that move, Black's view (null: none)
  redo: [],         // moves taken back, for Redo
  user: 'black',    // 'black', 'white', 'self' (engine v engine) or 'free' (two players)
  view: 0,          // the ply shown on the board
  end: null,        // {result, reason} by agreement or an engine's claim
  newGame: true,    // the engine's next move starts a game
};
let state = null;          // the server's answer for the current game
let gameId = null;
let engineProblem = '';    // why this page has no engine ("busy: ...")
let events = null;
let thinking = null;       // {since, progress} while the engine searches
let picked = [];           // squares clicked so far for the next move
let goodSquares = [];      // analysis: squares of the good moves
let lastProgress = null;   // the engine's latest progress line of this search

async function api(path, body) {
  const options = body === undefined ? {} : { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) };
  const res = await fetch(path, options);
  let data = {};
  try { data = await res.json(); } catch { data = { error: `the server answered ${res.status}` }; }
  if (!res.ok) throw new Error(data.error || `the server answered ${res.status}`);
  return data;
}

function say(text, error = false) {
  $('message').textContent = text;
  $('message').classList.toggle('error', error);
}

const sideName = (side) => (side === 'white' ? 'White' : 'Black');
// Scores are shown from the player's side; in engine v engine and two-player
// games from Black's.
const viewSide = () => (game.user === 'white' ? 'white' : 'black');
const viewSign = () => (viewSide() === 'white' ? -1 : 1);
const signed = (n) => (n > 0 ? '+' : '') + n;
const atEnd = () => game.view === game.moves.length;
const over = () => state && (state.over || game.end);
const engineToMove = () => state && !over() && atEnd() && (game.user === 'self' || (game.user !== 'free' && game.user !== state.side));

// ---- The engine.

async function openEngine() {
  try {
    gameId = (await api('/api/games', {})).id;
  } catch (e) {
    gameId = null;
    engineProblem = e.message;
    return;
  }
  events = new EventSource(`/api/games/${gameId}/events`);
  events.addEventListener('status', (e) => onStatus(JSON.parse(e.data)));
  events.addEventListener('move', (e) => onEngineMove(JSON.parse(e.data)));
  events.addEventListener('failure', (e) => onEngineFailure(JSON.parse(e.data)));
  window.addEventListener('pagehide', () => navigator.sendBeacon(`/api/games/${gameId}/close`, '{}'));
}

async function think() {
  if (!gameId || thinking || !engineToMove()) return;
  thinking = { since: performance.now() };
  lastProgress = null;
  showThinking();
  try {
    await api(`/api/games/${gameId}/think`, { fen: game.fen, moves: game.moves, time: moveTime(), new_game: game.newGame });
    game.newGame = false;
    say('The engine is thinking…');
  } catch (e) {
    thinking = null;
    say(`The engine cannot move: ${e.message}`, true);
  }
}

function moveTime() {
  const t = Number($('time').value);
  return t >= 0.05 && t <= 600 ? t : 1;
}

function onStatus(status) {
  if (!thinking) return;
  if (status.depth !== undefined) lastProgress = status;
  thinking.status = status;
  showThinking();
}

async function onEngineMove(reply) {
  if (!thinking) return;
  thinking = null;
  const final = reply.status.depth !== undefined ? reply.status : lastProgress;
  game.moves.push(reply.move);
  game.scores[game.moves.length] = final ? final.value : null;
  game.scores.length = game.moves.length + 1;
  game.view = game.moves.length;
  if (reply.claim !== '*') game.end = { result: reply.claim, reason: `${reply.engine} ${reply.result === 2 ? 'resigns' : 'claims the result'}` };
  say(`The engine played ${reply.move} in ${reply.seconds.toFixed(1)} s.`);
  showThinking(reply.status, reply.seconds);
  await refresh();
}

async function onEngineFailure(failure) {
  thinking = null;
  say(`${failure.error}. Press Move now to let a fresh engine try again.`, true);
  showThinking();
}

// The thinking line: depth, score from the player's side, speed and the
// principal variation; a book move or a database verdict as its own text.
function showThinking(final, seconds) {
  const s = final || (thinking && thinking.status) || null;
  const p = s && s.depth !== undefined ? s : thinking ? lastProgress : null;
  $('t-score-label').textContent = `Score (${sideName(viewSide())})`;
  $('t-depth').textContent = p ? p.depth : '-';
  $('t-score').textContent = p ? signed(viewSign() * p.value) + (p.bound === '=' ? '' : p.bound === '>' ? ' or more' : ' or less') : '-';
  $('t-speed').textContent = p ? `${Math.round(p.knps)} kN/s` : '-';
  $('t-pv').textContent = p ? p.pv || '…' : s ? s.text : '-';
  if (s && p !== s) $('t-pv').textContent = s.text;
  const elapsed = thinking ? (performance.now() - thinking.since) / 1000 : seconds;
  $('t-time').textContent = elapsed === undefined ? '-' : `${elapsed.toFixed(1)} s`;
}
setInterval(() => { if (thinking) showThinking(); }, CLOCK_TICK_MS);

// ---- The game.

async function refresh() {
  try {
    state = await api('/api/state', { fen: game.fen, moves: game.moves });
  } catch (e) {
    say(e.message, true);
    return;
  }
  picked = [];
  render();
  think();
}

function lastMoveSquares() {
  if (game.view === 0) return [];
  const move = game.moves[game.view - 1];
  return move.split(/[-x]/).map(Number);
}

function render() {
  const position = state.positions[game.view];
  const legal = atEnd() && !over() ? state.legal : [];
  const dest = picked.length ? legal.filter((m) => matches(m, picked)).map((m) => m.squares[m.squares.length - 1]) : [];
  board.draw(position.board, { last: lastMoveSquares(), dest, picked, good: goodSquares });
  const side = game.view % 2 === 0 ? state.start_side : state.start_side === 'black' ? 'white' : 'black';
  $('turn').textContent = atEnd() ? `${sideName(state.side)} to move` : `Position after move ${game.view} (${sideName(side)} to move); click the last move to return`;
  $('fen').value = position.fen;
  renderMoves();
  renderResult();
  const count = drawGraph($('graph'), game.scores.slice(0, game.moves.length + 1), viewSign(), game.view, (ply) => { game.view = ply; render(); });
  $('graph-note').textContent = count ? `The engine's score after its moves, from ${sideName(viewSide())}'s side (up is good for ${sideName(viewSide())}).` : 'The engine\'s scores appear here as it plays.';
}

function renderMoves() {
  const list = $('moves');
  list.replaceChildren();
  const blackFirst = state.start_side === 'black';
  let li = null;
  game.moves.forEach((text, i) => {
    const ply = i + 1;
    if (!li || (i + (blackFirst ? 0 : 1)) % 2 === 0) {
      li = document.createElement('li');
      if (!blackFirst && i === 0) li.append('… ');
      list.append(li);
    }
    const span = document.createElement('span');
    span.textContent = text;
    span.dataset.ply = ply;
    span.className = ply === game.view ? 'current' : '';
    span.addEventListener('click', () => { game.view = ply; picked = []; render(); });
    li.append(span);
  });
}

function renderResult() {
  const end = state.over ? { result: state.result, reason: state.reason } : game.end;
  $('result').textContent = end ? `${end.result}: ${end.reason}` : '';
}

// A move is entered by its squares in order: the start, then any of its
// landing squares; its end square alone is enough when only one move fits.
function matches(move, clicks) {
  if (move.squares[0] !== clicks[0]) return false;
  let at = 1;
  for (const square of clicks.slice(1)) {
    while (at < move.squares.length && move.squares[at] !== square) at++;
    if (at === move.squares.length) return false;
    at++;
  }
  return true;
}

function onSquare(square) {
  if (!state) return;
  if (!atEnd()) return say('This is an earlier position: click the last move in the list to return, or Undo.');
  if (thinking) return say('The engine is thinking: wait, or press Move now.');
  if (over()) return say('The game is over: start a new one, or undo.');
  if (game.user === 'self' || (game.user !== 'free' && game.user !== state.side)) return say("It is the engine's turn.");
  const legal = state.legal;
  const owns = legal.some((m) => m.squares[0] === square);
  if (owns) {
    picked = [square];
  } else if (picked.length) {
    const clicks = [...picked, square];
    const fits = legal.filter((m) => matches(m, clicks));
    const ending = fits.filter((m) => m.squares[m.squares.length - 1] === square);
    if (ending.length === 1) return play(ending[0].text);
    if (ending.length > 1) {
      say('Several jumps end there: click the landing squares in turn.');
      picked = [picked[0]];
    } else if (fits.length) {
      picked = clicks;  // a landing square on the way
    } else {
      say(`Not a legal move. Legal: ${legal.map((m) => m.text).join(' ')}`);
      picked = [];
    }
  } else {
    say(`Pick one of your pieces that can move: ${legal.map((m) => m.text).join(' ')}`);
  }
  render();
}

async function play(text) {
  game.moves.push(text);
  game.scores.push(null);
  game.view = game.moves.length;
  game.redo = [];
  goodSquares = [];
  say(`You played ${text}.`);
  await refresh();
}

async function startGame(user, fen = '', moves = []) {
  await stopThinking();
  Object.assign(game, { fen, moves, scores: moves.map(() => null).concat([null]), redo: [], user, view: moves.length, end: null, newGame: true });
  if ((user === 'white') !== board.flipped) board.flip();
  clearAnalysis();
  if (!gameId) say(`No engine for this page: ${engineProblem}. Two-player games, FEN and PDN still work.`, true);
  else say(user === 'self' ? 'The engine plays itself.' : user === 'free' ? 'Both sides are yours.' : `You play ${sideName(user)}.`);
  await refresh();
}

async function stopThinking() {
  if (!thinking || !gameId) return;
  thinking = null;
  await api(`/api/games/${gameId}/stop`, {}).catch(() => {});
}

async function undo() {
  if (thinking) return say('The engine is thinking: press Move now first.');
  if (!game.moves.length) return say('Nothing to take back.');
  // Against the engine, back to the player's own turn.
  do {
    game.redo.push(game.moves.pop());
    game.scores.length = game.moves.length + 1;
  } while (game.moves.length && (game.user === 'black' || game.user === 'white') && sideAfter(game.moves.length) !== game.user);
  game.view = game.moves.length;
  game.end = null;
  game.newGame = true;
  if (game.user === 'self') game.user = 'free';  // so the engine does not play on at once
  await refresh();
}

function sideAfter(plies) {
  const first = state.start_side;
  return plies % 2 === 0 ? first : first === 'black' ? 'white' : 'black';
}

async function redo() {
  if (thinking || !game.redo.length) return;
  game.moves.push(game.redo.pop());
  game.scores.push(null);
  game.view = game.moves.length;
  await refresh();
}

// ---- Analysis.

function clearAnalysis() {
  goodSquares = [];
  $('analysis').tBodies[0].replaceChildren();
  $('analysis-text').textContent = '';
}

async function analyse() {
  if (!gameId) return say(`No engine for this page: ${engineProblem}`, true);
  if (thinking) return say('The engine is thinking: wait, or press Move now.');
  clearAnalysis();
  say('Analysing…');
  const moves = game.moves.slice(0, game.view);
  try {
    const answer = await api(`/api/games/${gameId}/analyse`, { fen: game.fen, moves, time: moveTime() });
    $('a-score-head').textContent = `Score (${sideName(answer.side)} to move)`;
    const body = $('analysis').tBodies[0];
    for (const m of answer.moves) {
      const row = body.insertRow();
      row.className = m.good ? 'good' : '';
      row.insertCell().textContent = m.text;
      row.insertCell().textContent = m.good ? signed(m.score) : 'outside the margin';
      row.insertCell().textContent = m.good ? 'good' : '';
      if (m.good) goodSquares.push(m.squares[0], m.squares[m.squares.length - 1]);
    }
    $('analysis-text').textContent = (answer.verdict ? `${answer.verdict[0].toUpperCase()}${answer.verdict.slice(1)}. ` : '') +
      (answer.moves.length ? `Engine: ${answer.text}` : answer.text);
    say('Analysis done: good moves are marked on the board.');
  } catch (e) {
    say(`Analysis failed: ${e.message}`, true);
  }
  render();
}

// ---- FEN and PDN.

async function setFen() {
  const fen = $('fen').value.trim();
  try {
    await api('/api/state', { fen, moves: [] });
  } catch (e) {
    return say(e.message, true);
  }
  await startGame('free', fen);
  say('Position set up: both sides are yours; Analyse, or start a game from the buttons.');
}

async function copyFen() {
  const fen = state.positions[game.view].fen;
  $('fen').value = fen;
  try {
    await navigator.clipboard.writeText(fen);
    say('FEN copied.');
  } catch {
    $('fen').select();
    say('Select and copy the FEN above.');
  }
}

async function savePdn() {
  const players = { black: 'Player', white: 'Player' };
  if (game.user === 'black') players.white = 'Quillbar';
  else if (game.user === 'white') players.black = 'Quillbar';
  else if (game.user === 'self') players.black = players.white = 'Quillbar';
  const end = state.over ? state.result : game.end ? game.end.result : '*';
  const date = new Date().toISOString().slice(0, 10).replaceAll('-', '.');
  try {
    const { pdn } = await api('/api/pdn/write', {
      fen: game.fen, moves: game.moves, result: end,
      tags: [['Event', 'Quillbar game'], ['Date', date], ['Black', players.black], ['White', players.white]],
    });
    $('pdn').value = pdn;
    const link = $('pdn-download');
    URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(new Blob([pdn], { type: 'text/plain' }));
    link.hidden = false;
    say('The game is in the box below as PDN.');
  } catch (e) {
    say(e.message, true);
  }
}

async function loadPdn(text) {
  try {
    const g = await api('/api/pdn/read', { pdn: text });
    const standard = g.fen === 'B:W21-32:B1-12';
    await startGame('free', standard ? '' : g.fen, g.moves);
    if (g.result !== '*' && !state.over) game.end = { result: g.result, reason: 'as recorded' };
    render();
    say(`Loaded ${g.moves.length} moves${g.tags.Event ? ' of ' + g.tags.Event : ''}. Click a move to see its position.`);
  } catch (e) {
    say(`Cannot load the PDN: ${e.message}`, true);
  }
}

// ---- Wiring.

const board = new Board($('board'), onSquare);
$('new-black').onclick = () => startGame('black');
$('new-white').onclick = () => startGame('white');
$('new-self').onclick = () => startGame('self');
$('new-free').onclick = () => startGame('free');
$('flip').onclick = () => { board.flip(); render(); };
$('undo').onclick = undo;
$('redo').onclick = redo;
$('move-now').onclick = () => {
  if (!thinking) return think();  // after a failed engine: a fresh one tries
  api(`/api/games/${gameId}/stop`, {}).catch((e) => say(e.message, true));
};
$('draw').onclick = () => {
  if (over()) return;
  game.end = { result: '1/2-1/2', reason: 'draw by agreement' };
  stopThinking().then(render);
};
$('analyse').onclick = analyse;
$('set-fen').onclick = setFen;
$('copy-fen').onclick = copyFen;
$('save-pdn').onclick = savePdn;
$('load-pdn').onclick = () => loadPdn($('pdn').value);
$('pdn-file').onchange = async (e) => { const f = e.target.files[0]; if (f) loadPdn(await f.text()); };

(async () => {
  try { $('time').value = (await api('/api/settings')).time; } catch { /* keep the default */ }
  await openEngine();
  await startGame('black');
})();
