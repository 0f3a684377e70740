// Starts tarvo-lsp for Tarvo scripts and connects it to the editor over
// stdio: diagnostics, hover, completion, definitions and symbols all come
// from the server.
const fs = require('fs');
const path = require('path');
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;

function serverCommand(context) {
  const configured = vscode.workspace.getConfiguration('tarvo').get('serverPath');
  if (configured) return configured;
  const name = process.platform === 'win32' ? 'tarvo-lsp.exe' : 'tarvo-lsp';
  const bundled = path.join(context.extensionPath, 'server', name);
  if (!fs.existsSync(bundled)) return name;
  // A package may not keep the program's execute permission.
  if (process.platform !== 'win32') fs.chmodSync(bundled, 0o755);
  return bundled;
}

function activate(context) {
  const command = serverCommand(context);
  const serverOptions = { run: { command }, debug: { command } };
  const clientOptions = { documentSelector: [{ scheme: 'file', language: 'tarvo' }, { scheme: 'untitled', language: 'tarvo' }] };
  client = new LanguageClient('tarvo', 'Tarvo language server', serverOptions, clientOptions);
  client.start();
  context.subscriptions.push({ dispose: () => client && client.stop() });
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
