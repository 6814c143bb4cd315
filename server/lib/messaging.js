// The socket.io messaging service on the HTTP server's port. Event handlers of the
// "/client" namespace go here; the same handlers serve both socket.io generations.
'use strict';

const SOCKET_PATH = '/socket.io';
const CLIENT_NAMESPACE = '/client';

function createIo(httpServer, options) {
  if (options.socketioV2) {
    // socket.io 2.x, the generation older servers run (Engine.IO 3).
    const ioV2 = require('socket.io-v2');
    return ioV2(httpServer, { path: SOCKET_PATH, serveClient: false });
  }
  const { Server } = require('socket.io');
  // allowEIO3 lets clients that speak the older Engine.IO 3 protocol connect too.
  return new Server(httpServer, { path: SOCKET_PATH, serveClient: false, allowEIO3: true });
}

// `store` is where the namespace's handlers find users and groups.
function attach(httpServer, options, store) {
  const io = createIo(httpServer, options);
  const clientNamespace = io.of(CLIENT_NAMESPACE);

  return {
    io,
    store,
    clientNamespace,
    generation: options.socketioV2 ? 2 : 4,
    close() {
      // Drop every client at once; the HTTP server is closed by the caller.
      for (const namespace of [io.sockets, clientNamespace]) {
        for (const socket of namespaceSockets(namespace)) socket.disconnect(true);
      }
    },
  };
}

// Connected sockets of a namespace under either generation (a Map in 4.x, an object in 2.x).
function namespaceSockets(namespace) {
  const sockets = namespace.sockets;
  return sockets instanceof Map ? [...sockets.values()] : Object.values(sockets);
}

module.exports = { attach, namespaceSockets, SOCKET_PATH, CLIENT_NAMESPACE };
