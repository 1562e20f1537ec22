// The board: 32 playing squares numbered as players number them, Black's
// side at the top unless flipped. Pieces are moved by clicking squares or
// by dragging (a drag is a click on its start and one on its end square).

// Square n lies in row (n-1)/4 counted from Black's side; rows nearest Black
// start with a light square.
function squareAt(row, column) {
  const playing = row % 2 === 0 ? column % 2 === 1 : column % 2 === 0;
  return playing ? row * 4 + Math.floor(column / 2) + 1 : 0;
}

export class Board {
  constructor(element, onSquare) {
    this.element = element;
    this.onSquare = onSquare;
    this.flipped = false;
    this.cells = new Map();  // square number -> element
    this.build();
    let pressed = 0;
    element.addEventListener('pointerdown', (e) => {
      pressed = this.squareOf(e);
      if (pressed) this.onSquare(pressed);
    });
    element.addEventListener('pointerup', (e) => {
      const released = this.squareOf(e);
      if (pressed && released && released !== pressed) this.onSquare(released);
      pressed = 0;
    });
  }

  squareOf(event) {
    const target = document.elementFromPoint(event.clientX, event.clientY);
    const cell = target && target.closest('.sq');
    return cell ? Number(cell.dataset.square) || 0 : 0;
  }

  build() {
    this.element.replaceChildren();
    this.cells.clear();
    for (let r = 0; r < 8; r++) {
      for (let c = 0; c < 8; c++) {
        const n = this.flipped ? squareAt(7 - r, 7 - c) : squareAt(r, c);
        const cell = document.createElement('div');
        cell.className = n ? 'sq dark' : 'sq';
        if (n) {
          cell.dataset.square = n;
          cell.id = 'sq' + n;
          const num = document.createElement('span');
          num.className = 'num';
          num.textContent = n;
          cell.append(num);
          this.cells.set(n, cell);
        }
        this.element.append(cell);
      }
    }
  }

  flip() {
    this.flipped = !this.flipped;
    this.build();
  }

  // squares: 32 characters, square 1 first: b/w men, B/W kings, '-' empty.
  // marks: {last: [...], dest: [...], picked: [...], good: [...]}
  draw(squares, marks = {}) {
    for (const [n, cell] of this.cells) {
      cell.querySelector('.piece')?.remove();
      for (const kind of ['last', 'dest', 'picked', 'good'])
        cell.classList.toggle(kind, (marks[kind] || []).includes(n));
      const ch = squares[n - 1];
      if (ch === '-') continue;
      const piece = document.createElement('div');
      piece.className = 'piece ' + ch.toLowerCase() + (ch === 'B' || ch === 'W' ? ' k' : '');
      piece.dataset.piece = ch;
      cell.append(piece);
    }
  }
}
