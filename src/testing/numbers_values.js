#!/usr/bin/env node
// The values check: reads a Numbers document and the xlsx Morvane made of it
// with SheetJS (an independent reader, installed by scripts/sheetjs; give
// node its folder as NODE_PATH) and compares every value the author saw, by
// position within each table.
//
//   node numbers_values.js [--json] DOC.numbers DOC.xlsx [DOC2.numbers DOC2.xlsx ...]
//
// SheetJS turns each table of a Numbers document into a sheet of its own, in
// document order (sheets, then their tables; "Sheet 1", "Sheet 1_1", ...), as
// our xlsx has one sheet per table in the same order (named after sheet and
// table, which Excel's rules about names may change): the n-th sheet of one
// is the n-th of the other.
//
// Compared: numbers rounded to 9 significant digits, text with its white
// space collapsed, dates by day (and they must still be dates), booleans as
// 1/0. An error in the xlsx where the author saw a value is a loss of its own
// kind. Cells the author left empty are not compared.
//
// Prints per document, in plain lines (or one JSON object a line with --json):
//   document PATH compared N kept K errors E tables T
//   diff SHEET!CELL KIND author=VALUE ours=VALUE [formula=TEXT]
// where KIND is error, missing, formula (a formula cell of ours whose value
// differs), date, type or value. A document that cannot be read prints
//   document PATH unreadable MESSAGE
// The exit status is 0 when every document could be read, 1 otherwise.
'use strict';

process.env.TZ = 'UTC';  // Numbers' dates are wall-clock times; so are SheetJS's.

let XLSX;
try {
  XLSX = require('xlsx');
} catch (e) {
  console.error('numbers_values: SheetJS (xlsx) is missing; run scripts/sheetjs and set NODE_PATH to ' +
                'what `scripts/sheetjs --print-dir` prints');
  process.exit(2);
}

const DAY_MS = 86400000;
const EPOCH_1900 = Date.UTC(1899, 11, 30);

function round9(x) {
  if (!Number.isFinite(x)) return String(x);
  if (x === 0) return '0';
  return Number(x.toPrecision(9)).toString();
}

function collapse(s) { return String(s).replace(/\s+/g, ' ').trim(); }

// The serial day (1900 system) of a date of the Numbers document.
function dayOfDate(d) { return Math.floor((d.getTime() - EPOCH_1900) / DAY_MS + 1e-9); }

function shown(cell) {
  if (!cell) return '(empty)';
  if (cell.t === 'd') return cell.v instanceof Date ? cell.v.toISOString() : String(cell.v);
  if (cell.t === 'e') return '#' + (cell.w || 'ERROR');
  return JSON.stringify(cell.v);
}

// Our cell, with a date-formatted number counted as a date.
function ourValue(cell, date1904) {
  if (!cell || cell.t === 'z' || (cell.t === 's' && cell.v === '' && !cell.f)) return { kind: 'empty' };
  if (cell.t === 'e') return { kind: 'error' };
  if (cell.t === 'b') return { kind: 'number', number: cell.v ? 1 : 0 };
  if (cell.t === 'n') {
    const isDate = cell.z !== undefined && XLSX.SSF.is_date(cell.z);
    return { kind: 'number', number: cell.v, isDate, day: Math.floor(cell.v + (date1904 ? 1462 : 0) + 1e-9) };
  }
  if (cell.t === 'd') return { kind: 'number', number: NaN, isDate: true, day: dayOfDate(cell.v) };
  return { kind: 'text', text: collapse(cell.v) };
}

// Compares one value the author saw with ours: null when kept, else the kind
// of the difference.
function compare(author, ours) {
  if (ours.kind === 'empty') return 'missing';
  if (author.t === 'e') return ours.kind === 'error' ? null : 'type';
  if (ours.kind === 'error') return 'error';
  switch (author.t) {
    case 'n':
    case 'b': {
      const a = author.t === 'b' ? (author.v ? 1 : 0) : author.v;
      if (ours.kind !== 'number' || Number.isNaN(ours.number)) return 'type';
      return round9(a) === round9(ours.number) ? null : 'value';
    }
    case 'd':
      if (ours.kind !== 'number' || !ours.isDate) return 'date';
      return dayOfDate(author.v) === ours.day ? null : 'date';
    case 's':
      if (ours.kind !== 'text') return 'type';
      return collapse(author.v) === ours.text ? null : 'value';
    default:
      return 'type';
  }
}

function compareDocument(numbersPath, xlsxPath) {
  const result = { document: numbersPath, compared: 0, kept: 0, errors: 0, tables: 0, differences: [] };
  let authorBook, ourBook;
  try {
    authorBook = XLSX.readFile(numbersPath, { cellDates: true });
  } catch (e) {
    result.unreadable = 'SheetJS cannot read the document: ' + (e.message || e);
    return result;
  }
  try {
    ourBook = XLSX.readFile(xlsxPath, { cellDates: false, cellNF: true, cellFormula: true });
  } catch (e) {
    result.unreadable = 'SheetJS cannot read ' + xlsxPath + ': ' + (e.message || e);
    return result;
  }
  const date1904 = !!(ourBook.Workbook && ourBook.Workbook.WBProps && ourBook.Workbook.WBProps.date1904);
  result.tables = authorBook.SheetNames.length;
  authorBook.SheetNames.forEach((name, index) => {
    const authorSheet = authorBook.Sheets[name];
    const ourName = ourBook.SheetNames[index];
    const ourSheet = ourName === undefined ? {} : ourBook.Sheets[ourName];
    for (const address of Object.keys(authorSheet)) {
      if (address[0] === '!') continue;
      const author = authorSheet[address];
      if (!author || author.t === 'z' || author.v === undefined) continue;
      if (author.t === 's' && collapse(author.v) === '') continue;
      result.compared++;
      const ourCell = ourSheet[address];
      const kind = compare(author, ourValue(ourCell, date1904));
      if (kind === null) {
        result.kept++;
        continue;
      }
      let reported = kind;
      if (kind !== 'error' && kind !== 'missing' && ourCell && ourCell.f) reported = 'formula';
      if (kind === 'error') result.errors++;
      const difference = { table: name, ourSheet: ourName || null, cell: address, kind: reported,
                           author: shown(author), ours: shown(ourCell) };
      if (ourCell && ourCell.f) difference.formula = ourCell.f;
      result.differences.push(difference);
    }
  });
  if (ourBook.SheetNames.length !== authorBook.SheetNames.length) {
    result.tableMismatch = `the document has ${authorBook.SheetNames.length} tables, the xlsx ` +
                           `${ourBook.SheetNames.length} sheets`;
  }
  return result;
}

function main(argv) {
  let json = false;
  const files = [];
  for (const a of argv) {
    if (a === '--json') json = true;
    else files.push(a);
  }
  if (files.length === 0 || files.length % 2 !== 0) {
    console.error('usage: numbers_values.js [--json] DOC.numbers DOC.xlsx [DOC2.numbers DOC2.xlsx ...]');
    return 2;
  }
  let status = 0;
  for (let i = 0; i < files.length; i += 2) {
    const r = compareDocument(files[i], files[i + 1]);
    if (r.unreadable) status = 1;
    if (json) {
      console.log(JSON.stringify(r));
      continue;
    }
    if (r.unreadable) {
      console.log(`document ${r.document} unreadable ${r.unreadable.replace(/\s+/g, ' ')}`);
      continue;
    }
    console.log(`document ${r.document} compared ${r.compared} kept ${r.kept} errors ${r.errors} tables ${r.tables}` +
                (r.tableMismatch ? ` mismatch ${r.tableMismatch}` : ''));
    for (const d of r.differences) {
      console.log(`diff ${d.table}!${d.cell} ${d.kind} author=${d.author} ours=${d.ours}` +
                  (d.formula ? ` formula=${d.formula}` : ''));
    }
  }
  return status;
}

process.exitCode = main(process.argv.slice(2));
