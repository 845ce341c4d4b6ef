// Under Node the module is an ES module, where `require` and `__dirname` do not exist; the
// runtime's Node branch needs both.  In a browser nothing is imported.
const corvantaOnNode = typeof process === 'object' && process.versions != null && process.versions.node != null;
const require = corvantaOnNode ? (await import('module')).createRequire(import.meta.url) : undefined;
const __dirname = corvantaOnNode ? require('path').dirname(require('url').fileURLToPath(import.meta.url)) : '';
