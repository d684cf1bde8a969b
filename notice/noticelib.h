/* noticelib: the job-result listener. A device reports the end of a fax job by sending a notice
 * record to the address and port the result monitor publishes; the library listens there and hands
 * each notice to the caller's callback on a thread of its own.
 *
 * Protocol: TCP over IPv4. A sender opens one connection per notice, writes the NOTICE_RECORD_SIZE
 * bytes of the record and then ends its sending direction (shutdown for writing, or close). The
 * notice counts when the connection ends within NOTICE_READ_TIMEOUT_MS of being accepted having
 * carried exactly NOTICE_RECORD_SIZE bytes; fewer or more bytes, a connection still open at the
 * time-out, or one that fails are dropped without a callback. Nothing is sent back: the library
 * closes the connection after the callback returned, so a sender that reads until the end of the
 * stream knows its notice was taken (or dropped). Up to NOTICE_MAX_CONNECTIONS connections are read
 * at once, so a sender that stalls holds up no other; further ones wait to be accepted.
 *
 * Every call returns NOTICE_OK (0) on success or one of the NOTICE_E_ codes. A handle is used by one
 * thread at a time. */
#ifndef QELTA_NOTICE_NOTICELIB_H
#define QELTA_NOTICE_NOTICELIB_H

#ifdef __cplusplus
extern "C" {
#endif

#define NOTICE_RECORD_SIZE 600
#define NOTICE_READ_TIMEOUT_MS 3000
#define NOTICE_MAX_CONNECTIONS 16

#define NOTICE_OK 0
#define NOTICE_E_ARGUMENT 1    /* a null handle or pointer, or a port outside 0 to 65535 */
#define NOTICE_E_STATE 2       /* not possible now: see each call */
#define NOTICE_E_ADDRESS 3     /* the address is not a dotted IPv4 address of this host */
#define NOTICE_E_PORT_IN_USE 4 /* another socket listens on the port */
#define NOTICE_E_FAILED 5      /* the system refused (sockets, threads or memory) */

#define NOTICE_EXPORT __attribute__((visibility("default")))

/* A listener. */
typedef struct NoticeListener* NoticeHandle;

/* Called on the library's thread for each notice: ignored is 0, port the port listened on, notice
 * the NOTICE_RECORD_SIZE bytes (valid during the call only), context the value given with it.
 * Returns 1. */
typedef int (*NoticeCallback)(int ignored, int port, const void* notice, void* context);

/* A new listener, not listening yet, in *handle. */
NOTICE_EXPORT int NoticeCreate(NoticeHandle* handle);
/* The callback and its context for the notices to come. NOTICE_E_STATE while listening. */
NOTICE_EXPORT int NoticeSetCallback(NoticeHandle handle, NoticeCallback callback, void* context);
/* Listens on address (dotted IPv4; every address of the host when NULL or empty) and *port (0: the
 * system chooses); *port is then the port listened on (left as it was on failure). NOTICE_E_STATE
 * when already listening or no callback was set. */
NOTICE_EXPORT int NoticeStart(NoticeHandle handle, const char* address, int* port);
/* Stops listening and waits for the library's thread: no callback comes once it returned. Closes
 * the connections being read (their notices are dropped). NOTICE_OK also when not listening;
 * NOTICE_E_STATE from within the callback, where it cannot wait for its own thread. The handle may
 * be started again. */
NOTICE_EXPORT int NoticeStop(NoticeHandle handle);
/* Stops as NoticeStop does and frees the handle. NOTICE_E_STATE from within the callback (nothing
 * is freed then). */
NOTICE_EXPORT int NoticeDestroy(NoticeHandle handle);

#ifdef __cplusplus
}
#endif

#endif
