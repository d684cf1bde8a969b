/* noticelib: the job-result listener. A device reports the end of a fax job by sending a notice
 * record to the address and port the result monitor publishes; the library listens there and hands
 * each notice to the caller's callback on a thread of its own.
 *
 * Protocol: TCP over IPv4. A sender opens one connection per notice, writes the NOTICE_RECORD_SIZE
 * bytes of the record and then ends its sending direction (shutdown for writing, or close). The
 * notice counts when the connection ends within NOTICE_READ_TIMEOUT_MS of being accepted having
 * carried exactly NOTICE_RECORD_SIZE bytes; fewer or more bytes, a connection still open at the
 * time-out, one silent for NOTICE_SILENT_TIMEOUT_MS, or one that fails are dropped without a
 * callback. Nothing is sent back: after the callback took the notice the library closes the
 * connection in order, so a sender that reads until the end of the stream knows its notice was
 * taken. Every other connection ends with a reset, which the sender sees as an error: a dropped one,
 * a notice the callback refused, one beyond what its sender's address may send, one still being
 * read when the listener stops, and one whose notice was not yet taken when the listening process
 * died.
 *
 * A sender on this host (one whose socket is one of the host's, and any on a loopback address) is
 * taken only when its socket belongs to the listening process's user: another local user's notice
 * is dropped, and so is a local sender's that closed its socket instead of shutting it down for
 * writing, whose user is no longer known. Such a dropped notice counts for nothing against what
 * its address may send.
 *
 * Connections are accepted as they come and read at once, up to NOTICE_MAX_CONNECTIONS of them and
 * NOTICE_MAX_CONNECTIONS_PER_ADDRESS from one address; a further one takes the place of the least
 * active (of its own address first), so a sender that stalls or trickles holds up no other. One
 * address may send NOTICE_ADDRESS_BURST notices at once and then one each NOTICE_ADDRESS_INTERVAL_MS
 * (a device sends one notice per job): trying thousands of records takes hours, while a device's
 * next notice is taken again within that interval after a flood from its address ends.
 *
 * Port: asked for port 0, the library takes the port this user's listener last took that way when
 * it is free, else one the system chooses, so that a sender told the port before a restart still
 * reaches the listener after it.
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
#define NOTICE_SILENT_TIMEOUT_MS 1500
#define NOTICE_MAX_CONNECTIONS 512
#define NOTICE_MAX_CONNECTIONS_PER_ADDRESS 64
#define NOTICE_ADDRESS_BURST 8
#define NOTICE_ADDRESS_INTERVAL_MS 2000

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
 * Returns 1 when it took the notice (also to drop it), 0 when it could not: its sender then sees an
 * error instead of the orderly end of a taken notice. */
typedef int (*NoticeCallback)(int ignored, int port, const void* notice, void* context);

/* A new listener, not listening yet, in *handle. */
NOTICE_EXPORT int NoticeCreate(NoticeHandle* handle);
/* The callback and its context for the notices to come. NOTICE_E_STATE while listening. */
NOTICE_EXPORT int NoticeSetCallback(NoticeHandle handle, NoticeCallback callback, void* context);
/* Listens on address (dotted IPv4; every address of the host when NULL or empty) and *port (0: the
 * system chooses); *port is then the port listened on (left as it was on failure). NOTICE_E_STATE
 * when already listening or no callback was set. */
NOTICE_EXPORT int NoticeStart(NoticeHandle handle, const char* address, int* port);
/* What one sender address may send: burst notices at once, then one each intervalMs (burst 0: no
 * bound). Applies from the next NoticeStart; NOTICE_ADDRESS_BURST and NOTICE_ADDRESS_INTERVAL_MS
 * until then. NOTICE_E_ARGUMENT for a negative value. */
NOTICE_EXPORT int NoticeSetAddressLimit(NoticeHandle handle, int burst, int intervalMs);
/* Stops listening and waits for the library's thread: no callback comes once it returned. Closes
 * the connections being read (their senders see a reset). NOTICE_OK also when not listening;
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
