#!/usr/bin/env node
// Parses every statement of an SQL*Plus script, as "zibrolt-check --statements" prints it, with the
// public Oracle (PL/SQL) grammar, so that a statement Oracle would refuse to parse is found here and
// not at a site's first night. Known-bad statements (the controls) are parsed the same way and must
// be rejected, so that a grammar or a check that accepts everything cannot pass unnoticed.
//
//   node parse.js [--jobs N] [--controls FILE] SCRIPT
//
// Prints one line per parse (OK or FAIL, with the grammar's first message for a FAIL) and a total;
// exits 1 when a listed statement fails, a control is accepted or the script is not one SQL*Plus
// would run as listed, 2 on a wrong call.
'use strict';
const fs = require('fs');
const os = require('os');
const { Worker, isMainThread, parentPort } = require('worker_threads');

// A statement with more binds than this is a window form: it is parsed whole and once more with its
// keys list shortened, whose error, if any, points into a text a reader can look at.
const kWindowBinds = 20;

// ---- In each worker: one parse --------------------------------------------------------------

// The grammar takes seconds to load, so each worker loads it once, and only a worker does.
let grammar = null;
function Grammar() {
  if (!grammar) {
    const sql = require('antlr4ts-sql');
    grammar = { sql, tool: new sql.antlr4tsSQL(sql.SQLDialect.PLSQL) };
  }
  return grammar;
}

// The text around a position of a statement, on one line, for statements of 40 KB on one line.
function Excerpt(text, at) {
  const from = Math.max(0, at - 30);
  const to = Math.min(text.length, at + 30);
  return (from > 0 ? '...' : '') + text.slice(from, to).replace(/\s+/g, ' ') +
         (to < text.length ? '...' : '');
}

// Offset of a line and column (both as the lexer counts them) in text.
function Offset(text, line, column) {
  let at = 0;
  for (let l = 1; l < line; ++l) at = text.indexOf('\n', at) + 1;
  return at + column;
}

// The grammar's message with the offending token's own text in place of its number (the lexer
// reads through a case-changing stream that hides it) and its list of expected tokens, which runs
// to thousands of keywords, cut short.
function Describe(text, symbol, line, column, message) {
  let shown = message.replace(/expecting \{([^}]*)\}/, (all, set) => {
    const choices = set.split(', ');
    return choices.length <= 6 ? all : `expecting one of ${choices.length} tokens`;
  });
  if (symbol && typeof symbol === 'object' && symbol.startIndex >= 0 && symbol.stopIndex >= 0) {
    const own = `'${text.slice(symbol.startIndex, symbol.stopIndex + 1)}'`;
    shown = shown.replace(/'<-?\d+>'/, own).replace(/at input ''/, `at ${own}`);
  }
  return `${line}:${column} ${shown} near "${Excerpt(text, Offset(text, line, column))}"`;
}

// One attempt at parsing text, stopping at the first syntax error: error recovery would only hide
// an error behind a guess, and on a window form it takes minutes. fast: SLL prediction (a text SLL
// accepts is valid; one it refuses may still be, and is parsed again with full LL). Returns the
// errors, or null when the fast attempt gave up.
function Attempt(text, fast) {
  const { sql, tool } = Grammar();
  const errors = [];
  const listener = {
    syntaxError: (recognizer, symbol, line, column, message) =>
      errors.push(Describe(text, symbol, line, column, message)),
  };
  const tokens = tool.getTokens(text, [listener]);
  const parser = tool.getParser(tokens, [listener]);
  parser.interpreter.setPredictionMode(fast ? sql.PredictionMode.SLL : sql.PredictionMode.LL);
  parser.errorHandler = new sql.BailErrorStrategy();
  let tree;
  try {
    tree = parser.sql_script();
  } catch (e) {
    if (!(e instanceof sql.ParseCancellationException)) throw e;
    if (fast) return null;
    // The grammar's own message for the error that stopped the parse.
    if (e.cause) new sql.DefaultErrorStrategy().reportError(parser, e.cause);
    else errors.push(`syntax error: ${e.message}`);
    return errors;
  }
  // The script rule takes any number of statements, each with an optional ';'; ODBC sends the text
  // as one statement, in which a second statement or a ';' is an error (ORA-00911, ORA-00933).
  const units = (tree.children || []).filter((c) => c instanceof sql.PlSQLGrammar.Unit_statementContext);
  if (errors.length === 0 && (units.length !== 1 || tree.childCount !== 2))
    errors.push(units.length === 0 ? 'no statement'
                : units.length > 1 ? `${units.length} statements in one text`
                : "a ';' after the statement, which ODBC would send to the server");
  // The grammar takes "?" as a bind because JDBC rewrites it; the server and SQL*Plus do not.
  tokens.fill();
  for (const token of tokens.getTokens()) {
    if (token.type === sql.PlSqlLexer.BINDVAR && text[token.startIndex] !== ':') {
      errors.push(`${token.line}:${token.charPositionInLine} bind written ` +
                  `'${text.slice(token.startIndex, token.stopIndex + 1)}': Oracle takes :name ` +
                  `near "${Excerpt(text, token.startIndex)}"`);
    }
  }
  return errors;
}

function Parse(text) {
  return Attempt(text, true) || Attempt(text, false);
}

function Serve() {
  const started = Date.now();
  // The first parse builds the grammar's tables; a small one keeps that out of any job's time.
  Parse('select 1 from dual');
  parentPort.postMessage({ loaded: Date.now() - started });
  parentPort.on('message', (job) => {
    const started = Date.now();
    // A parser that crashed has not rejected anything: a control must not pass that way.
    let errors;
    let crash = null;
    try {
      errors = Parse(job.text);
    } catch (e) {
      crash = `the parser failed: ${e && e.stack ? e.stack : e}`;
    }
    parentPort.postMessage({ id: job.id, errors, crash, ms: Date.now() - started });
  });
}

// ---- In the main thread: the script, the jobs, the verdict ----------------------------------

// The statements of an SQL*Plus script: each after its "--" comment lines (the last one names it),
// ended by a line holding only "/". Returns { statements, problems }.
function SplitScript(script, source) {
  const statements = [];
  const problems = [];
  let comments = [];
  let lines = [];
  let first = 0;
  script.split('\n').forEach((raw, index) => {
    const line = raw.replace(/\r$/, '');
    if (line.trim() === '/') {
      const name = comments.length ? comments[comments.length - 1] : `statement at ${source}:${first}`;
      const text = lines.join('\n');
      if (text.trim() === '') problems.push(`${source}:${index + 1}: '/' without a statement`);
      // SQL*Plus ends a statement at a blank line: the DBA's copy would run a part of it.
      else if (lines.some((l) => l.trim() === ''))
        problems.push(`${source}:${first}: ${name}: a blank line inside the statement`);
      statements.push({ name, text });
      comments = [];
      lines = [];
    } else if (lines.length === 0 && line.startsWith('--')) {
      comments.push(line.replace(/^--\s*/, ''));
    } else if (lines.length > 0 || line.trim() !== '') {
      if (lines.length === 0) first = index + 1;
      lines.push(line);
    }
  });
  if (lines.length > 0) problems.push(`${source}:${first}: a statement not ended by a '/' line`);
  return { statements, problems };
}

function CountBinds(text) {
  return (text.match(/:[A-Za-z0-9_]+/g) || []).length;
}

// The window form with its keys list shortened: wherever " union all " joins terms that differ only
// in their numbers ("select 7 ,:b7 from dual"), a run of them keeps its first two. The group
// boundaries, the count bind at the end and everything around the list stay as they are, so the
// short text has every construct of the full one. Knows nothing else of the list's shape: a list
// written another way is still parsed whole, and only the short parse loses its point.
function ShortenWindow(text) {
  const parts = text.split(' union all ');
  const kept = [parts[0]];
  let run = 0;
  for (let i = 1; i < parts.length; ++i) {
    const same = parts[i].replace(/\d+/g, '#') === parts[i - 1].replace(/\d+/g, '#');
    run = same ? run + 1 : 0;
    if (run < 2) kept.push(parts[i]);
  }
  return kept.join(' union all ');
}

// A control made from the longest window form at its full size: an error in the middle of 40 KB
// of keys list must not be lost in it (with recovery, a parser would skip it and go on).
function DerivedControls(longest) {
  const middle = longest.text.length / 2;
  let best = -1;
  for (const m of longest.text.matchAll(/\bfrom\b/gi))
    if (best < 0 || Math.abs(m.index - middle) < Math.abs(best - middle)) best = m.index;
  if (best < 0) return [];
  return [{
    name: `${longest.name}, full size, the FROM nearest its middle left out`,
    text: longest.text.slice(0, best) + longest.text.slice(best + 4),
  }];
}

function Main(argv) {
  let jobsWanted = os.availableParallelism ? os.availableParallelism() : os.cpus().length;
  let controlsFile = null;
  let scriptFile = null;
  for (let i = 0; i < argv.length; ++i) {
    if (argv[i] === '--jobs') jobsWanted = Number(argv[++i]);
    else if (argv[i] === '--controls') controlsFile = argv[++i];
    else if (scriptFile === null) scriptFile = argv[i];
    else scriptFile = undefined;
  }
  if (!scriptFile || !(jobsWanted >= 1)) {
    console.error('usage: node parse.js [--jobs N] [--controls FILE] SCRIPT');
    process.exit(2);
  }

  const listed = SplitScript(fs.readFileSync(scriptFile, 'utf8'), scriptFile);
  const controls = controlsFile ? SplitScript(fs.readFileSync(controlsFile, 'utf8'), controlsFile)
                                : { statements: [], problems: [] };
  const problems = listed.problems.concat(controls.problems);
  if (listed.statements.length === 0) problems.push(`${scriptFile}: no statement`);
  if (problems.length > 0) {
    for (const p of problems) console.log(`FAIL  ${p}`);
    console.log(`oracle-grammar: 0 passed, ${problems.length} failed`);
    process.exit(1);
  }

  // Each short statement once; each window form shortened and whole.
  const jobs = [];
  let longest = null;
  for (const s of listed.statements) {
    const binds = CountBinds(s.text);
    if (binds > kWindowBinds) {
      const short = ShortenWindow(s.text);
      jobs.push({ label: `${s.name} (${CountBinds(short)} binds)`, text: short, control: false });
      jobs.push({ label: `${s.name} (${binds} binds)`, text: s.text, control: false });
      if (!longest || s.text.length > longest.text.length) longest = s;
    } else {
      jobs.push({ label: s.name, text: s.text, control: false });
    }
  }
  for (const c of controls.statements.concat(longest ? DerivedControls(longest) : []))
    jobs.push({ label: `control: ${c.name}`, text: c.text, control: true });
  jobs.forEach((job, id) => { job.id = id; });

  // Longest first: the whole window forms take seconds each and set the time of the run.
  const queue = [...jobs].sort((a, b) => b.text.length - a.text.length);
  const workers = Math.min(jobsWanted, queue.length);
  const started = Date.now();
  let running = workers;
  const loads = [];
  for (let w = 0; w < workers; ++w) {
    const worker = new Worker(__filename);
    const next = () => {
      const job = queue.shift();
      if (job) worker.postMessage({ id: job.id, text: job.text });
      else worker.terminate();
    };
    worker.on('message', (result) => {
      if (result.loaded !== undefined) {
        loads.push(result.loaded);
        return;
      }
      Object.assign(jobs[result.id], { errors: result.errors, crash: result.crash, ms: result.ms });
      next();
    });
    worker.on('error', (e) => {
      console.log(`FAIL  a parser worker stopped: ${e && e.stack ? e.stack : e}`);
      process.exit(1);
    });
    worker.on('exit', () => {
      if (--running === 0) Report(jobs, Date.now() - started, workers, Math.max(...loads));
    });
    next();
  }
}

function Report(jobs, ms, workers, loadMs) {
  let passed = 0;
  let failed = 0;
  for (const job of jobs) {
    if (!job.errors) {
      console.log(`FAIL  ${job.label}: ${job.crash || 'not parsed'}`);
      ++failed;
      continue;
    }
    const rejected = job.errors.length > 0;
    const good = job.control ? rejected : !rejected;
    const why = rejected ? `: ${job.errors[0]}` : job.control ? ': accepted, must be rejected' : '';
    const time = job.ms >= 1000 ? ` [${(job.ms / 1000).toFixed(1)} s]` : '';
    console.log(`${good ? 'OK  ' : 'FAIL'}  ${job.label}${time}` +
                `${job.control && good ? ' (rejected)' : ''}${good && !job.control ? '' : why}`);
    if (good) ++passed;
    else ++failed;
  }
  console.log(`${jobs.length} parses by ${workers} workers in ${(ms / 1000).toFixed(1)} s, ` +
              `loading the grammar ${(loadMs / 1000).toFixed(1)} s of it`);
  console.log(`oracle-grammar: ${passed} passed, ${failed} failed`);
  process.exitCode = failed > 0 ? 1 : 0;
}

if (isMainThread) Main(process.argv.slice(2));
else Serve();
