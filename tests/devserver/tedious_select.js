// Logs in with tedious and runs "select 1"; prints "answer 1" or "error: ..." and exits 0 or 1.
// Usage: node tedious_select.js PORT ENCRYPT(true|false)
'use strict';
const { Connection, Request } = require('tedious');

const [port, encrypt] = process.argv.slice(2);
const connection = new Connection({
  server: '127.0.0.1',
  authentication: { type: 'default', options: { userName: 'sa', password: '' } },
  options: {
    port: Number(port),
    encrypt: encrypt === 'true',
    trustServerCertificate: true,
    connectTimeout: 15000,
    requestTimeout: 15000,
  },
});

function finish(code, text) {
  console.log(text);
  connection.close();
  process.exitCode = code;
}

connection.on('connect', (error) => {
  if (error) {
    finish(1, 'error: ' + error.message);
    return;
  }
  let answer;
  const request = new Request('select 1', (requestError) => {
    if (requestError)
      finish(1, 'error: ' + requestError.message);
    else
      finish(0, 'answer ' + answer);
  });
  request.on('row', (columns) => { answer = columns[0].value; });
  connection.execSql(request);
});
connection.connect();
