/* The Samba client libraries behind a small C interface: one authenticated
 * SMB connection to one computer, with DCE/RPC pipes to its LSA, SAM and
 * server services (signed), and the calls the platform functions need.
 *
 * Samba's own headers do not compile as C++; only this header is seen by
 * the C++ side. Every status is an NTSTATUS value. Texts are UTF-8. SIDs are
 * in the Windows binary layout. The credentials may be set from any thread;
 * the connections and their calls belong to one thread of one process, as
 * the libraries are not safe to enter from two threads at once (each worker
 * process of Workers.cpp makes them). */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tvr_conn tvr_conn;

/* The account every new connection authenticates as. Only the NT hash of
 * the password is kept; the caller clears its copy of the text. Returns 0,
 * or -1 when the libraries cannot be set up. */
int tvr_set_credentials(const char* user, const char* domain, const char* password);
/* The same from a hash made elsewhere (a worker process gets it from its
 * parent over a pipe). */
int tvr_set_credentials_hash(const char* user, const char* domain, const uint8_t hash[16]);
/* Copies the credentials out, for a worker process; -1 when there are none
 * or a text does not fit. */
int tvr_copy_credentials(char* user, size_t user_size, char* domain, size_t domain_size,
                         uint8_t hash[16]);
void tvr_clear_credentials(void);

/* A descriptor that reads as ended once the caller's parent is gone: every
 * wait on a connection made afterwards then ends the process. */
void tvr_set_lifeline(int fd);

/* Called once, when the computer has taken (or refused) the TCP connection. */
typedef void (*tvr_answered_fn)(void* context);
/* Connects to `address` (numeric) on `port` and binds the LSA pipe, over one
 * TCP connection. The libraries report a refused connection as an
 * out-of-memory status; one that is never answered takes their own limit
 * (a minute): the caller bounds the wait until `answered` is called.
 * `timeout_s` bounds each call on the connection. */
uint32_t tvr_connect(const char* address, unsigned port, unsigned timeout_s,
                     tvr_answered_fn answered, void* context, tvr_conn** out);
/* Closes the connection without a word to the computer: its policy handles
 * die with it. */
void tvr_disconnect(tvr_conn* conn);
/* False once the transport has failed: the connection must be replaced. */
int tvr_usable(const tvr_conn* conn);

/* A policy handle of the remote LSA. */
typedef struct {
  uint8_t bytes[20];
} tvr_handle;

typedef void (*tvr_text_fn)(void* context, const char* text);
/* use: a SID_NAME_USE value; sid in the Windows layout. */
typedef void (*tvr_account_fn)(void* context, uint32_t use, const uint8_t* sid, size_t sid_size,
                               const char* name, const char* domain);

uint32_t tvr_lsa_open_policy(tvr_conn* conn, uint32_t access, tvr_handle* handle);
uint32_t tvr_lsa_close(tvr_conn* conn, tvr_handle* handle);
uint32_t tvr_lsa_enum_rights(tvr_conn* conn, const tvr_handle* handle, const uint8_t* sid,
                             tvr_text_fn each, void* context);
/* The SIDs (Windows layout) of the accounts holding the right `name`; NULL
 * asks the server for every account of its policy database. */
typedef void (*tvr_sid_fn)(void* context, const uint8_t* sid, size_t sid_size);
uint32_t tvr_lsa_enum_accounts_with_right(tvr_conn* conn, const tvr_handle* handle,
                                          const char* name, tvr_sid_fn each, void* context);
/* add: LsaAddAccountRights; otherwise LsaRemoveAccountRights (with remove_all). */
uint32_t tvr_lsa_change_rights(tvr_conn* conn, const tvr_handle* handle, const uint8_t* sid,
                               int add, int remove_all, const char* const* names, uint32_t count);
/* One name or SID looked up through a policy handle the connection keeps. */
uint32_t tvr_lsa_lookup_name(tvr_conn* conn, const char* name, tvr_account_fn found, void* context);
uint32_t tvr_lsa_lookup_sid(tvr_conn* conn, const uint8_t* sid, tvr_account_fn found,
                            void* context);

/* The SAM enumerations, every name in the server's order. */
enum tvr_sam_list {
  TVR_SAM_USERS,          /* normal user accounts of the account domain */
  TVR_SAM_GROUPS,         /* global groups of the account domain */
  TVR_SAM_ALIASES,        /* local groups of the account domain */
  TVR_SAM_BUILTIN_ALIASES /* the aliases of the Builtin domain */
};
uint32_t tvr_sam_enum(tvr_conn* conn, enum tvr_sam_list list, tvr_text_fn each, void* context);
/* The account domain's name (a controller's is its domain's). */
uint32_t tvr_sam_account_domain(tvr_conn* conn, tvr_text_fn found, void* context);

/* NetSrvGetInfo level 101. */
typedef struct {
  uint32_t platform_id;
  uint32_t version_major;
  uint32_t version_minor;
  uint32_t type;
  uint32_t werror; /* the service's own answer, a system error code; 0: success */
} tvr_server_info;
uint32_t tvr_server_get_info(tvr_conn* conn, tvr_server_info* info, tvr_text_fn name,
                             void* context);

#ifdef __cplusplus
}
#endif
