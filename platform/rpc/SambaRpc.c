/* The Samba-facing half of the real network: DCE/RPC calls over SMB2 named
 * pipes, through the public client libraries only. The request and reply
 * structures come from Samba's generated headers; the call numbers are
 * looked up by name in the interface tables at run time, since no public
 * header carries them. */
#include "platform/rpc/SambaRpc.h"

#include <dirent.h>
#include <pthread.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
/* clang-format off: Samba's headers depend on their order */
#include <core/ntstatus.h>
#include <core/werror.h>
#include <credentials.h>
#include <dcerpc.h>
#include <gen_ndr/lsa.h>
#include <gen_ndr/samr.h>
#include <gen_ndr/security.h>
#include <param.h>
#include <talloc.h>
#include <tevent.h>
#include <util/data_blob.h>
/* clang-format on */

extern const struct ndr_interface_table ndr_table_lsarpc;
extern const struct ndr_interface_table ndr_table_samr;
extern const struct ndr_interface_table ndr_table_srvsvc;

/* No public header carries the server service's structures: the two that
 * NetSrvGetInfo level 101 needs, laid out as the generated code has them.
 * Their size is checked against the interface table before the first call. */
struct tvr_srvsvc_NetSrvInfo101 {
  uint32_t platform_id;
  const char* server_name;
  uint32_t version_major;
  uint32_t version_minor;
  uint32_t server_type;
  const char* comment;
};
union tvr_srvsvc_NetSrvInfo {
  struct tvr_srvsvc_NetSrvInfo101* info101;
  void* other;
};
struct tvr_srvsvc_NetSrvGetInfo {
  struct {
    const char* server_unc;
    uint32_t level;
  } in;
  struct {
    union tvr_srvsvc_NetSrvInfo* info;
    WERROR result;
  } out;
};

#define TVR_OK 0x00000000u
#define TVR_MORE_ENTRIES 0x00000105u
#define TVR_UNSUCCESSFUL 0xC0000001u
#define TVR_INVALID_PARAMETER 0xC000000Du
#define TVR_NO_MEMORY 0xC0000017u
#define TVR_NONE_MAPPED 0xC0000073u
#define TVR_NOT_SUPPORTED 0xC00000BBu
#define TVR_PROCEDURE_NOT_FOUND 0xC000007Au
#define TVR_CONNECTION_DISCONNECTED 0xC000020Cu

struct tvr_conn {
  TALLOC_CTX* mem;
  struct tevent_context* ev;
  struct loadparm_context* lp;
  struct cli_credentials* creds;
  char* address;
  struct dcerpc_pipe* lsa;
  struct dcerpc_pipe* samr;
  struct dcerpc_pipe* srvsvc;
  unsigned timeout_s;
  int socket_fd; /* the TCP connection's, when it could be told; -1 otherwise */
  bool broken;
  bool have_lookup_handle;
  struct policy_handle lookup_handle;
};

/* ------------------------------------------------------------ credentials */

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static char* g_user;
static char* g_domain;
static struct samr_Password g_hash;
static bool g_have_credentials;
static bool g_initialised;

static void wipe(void* p, size_t n) {
  volatile unsigned char* v = p;
  while (n--) *v++ = 0;
}

/* Wipes every copy of the NT hash in the talloc blocks under `root` (the
 * libraries' credentials keep their own), before they are freed. */
static void wipe_hash_in_block(const void* ptr, int depth, int max_depth, int is_ref,
                               void* context) {
  (void)depth;
  (void)max_depth;
  const struct samr_Password* hash = context;
  const size_t n = is_ref ? 0 : talloc_get_size(ptr);
  unsigned char* p = (unsigned char*)ptr;
  for (size_t i = 0; i + sizeof hash->hash <= n; ++i)
    if (p[i] == hash->hash[0] && memcmp(p + i, hash->hash, sizeof hash->hash) == 0)
      wipe(p + i, sizeof hash->hash);
}

static void wipe_hash_under(const void* root) {
  if (root != NULL) talloc_report_depth_cb(root, 0, -1, wipe_hash_in_block, &g_hash);
}

/* At the program's end the hash goes too. A call still under way holds the
 * lock for at most its time-out; the hash is wiped after a short wait
 * whatever happens. */
static void clear_credentials_at_exit(void) {
  struct timespec until;
  clock_gettime(CLOCK_REALTIME, &until);
  until.tv_sec += 2;
  const bool locked = pthread_mutex_timedlock(&g_lock, &until) == 0;
  wipe(&g_hash, sizeof g_hash);
  g_have_credentials = false;
  if (locked) pthread_mutex_unlock(&g_lock);
}

/* The libraries compute the hash in stack frames of their own, and leave it
 * there: the stack below the caller is cleared after them, with no call
 * (a first call through the PLT spills the registers below the frame).
 * The vector registers that carried it are cleared too, or the next such
 * spill writes it out again. */
static __attribute__((noinline)) void scrub_stack(void) {
  unsigned char below[64 * 1024];
  wipe(below, sizeof below);
  __asm__ volatile("" : : "r"(below) : "memory");
#if defined(__x86_64__) && defined(__GNUC__)
  __asm__ volatile(
      "pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\t"
      "pxor %%xmm3, %%xmm3\n\tpxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\t"
      "pxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7\n\tpxor %%xmm8, %%xmm8\n\t"
      "pxor %%xmm9, %%xmm9\n\tpxor %%xmm10, %%xmm10\n\tpxor %%xmm11, %%xmm11\n\t"
      "pxor %%xmm12, %%xmm12\n\tpxor %%xmm13, %%xmm13\n\tpxor %%xmm14, %%xmm14\n\t"
      "pxor %%xmm15, %%xmm15"
      :
      :
      : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10",
        "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
#endif
}

static pthread_once_t g_at_exit = PTHREAD_ONCE_INIT;
static void register_at_exit(void) { atexit(clear_credentials_at_exit); }

static bool initialise_locked(void) {
  if (!g_initialised) g_initialised = NT_STATUS_IS_OK(dcerpc_init());
  return g_initialised;
}

int tvr_set_credentials(const char* user, const char* domain, const char* password) {
  if (user == NULL || domain == NULL || password == NULL) return -1;
  pthread_once(&g_at_exit, register_at_exit);
  pthread_mutex_lock(&g_lock);
  int result = -1;
  TALLOC_CTX* mem = talloc_new(NULL);
  struct cli_credentials* creds = mem ? cli_credentials_init(mem) : NULL;
  if (initialise_locked() && creds != NULL &&
      cli_credentials_set_password(creds, password, CRED_SPECIFIED)) {
    struct samr_Password* hash = cli_credentials_get_nt_hash(creds, mem);
    /* The text the credentials copied goes before the block is freed. */
    const char* copy = cli_credentials_get_password(creds);
    if (copy != NULL) wipe((void*)copy, strlen(copy));
    if (hash != NULL) {
      free(g_user);
      free(g_domain);
      g_user = strdup(user);
      g_domain = strdup(domain);
      g_hash = *hash;
      wipe(hash, sizeof *hash);
      wipe_hash_under(mem);
      g_have_credentials = g_user != NULL && g_domain != NULL;
      result = g_have_credentials ? 0 : -1;
    }
  }
  talloc_free(mem);
  scrub_stack();
  pthread_mutex_unlock(&g_lock);
  return result;
}

int tvr_set_credentials_hash(const char* user, const char* domain, const uint8_t hash[16]) {
  if (user == NULL || domain == NULL || hash == NULL) return -1;
  pthread_once(&g_at_exit, register_at_exit);
  pthread_mutex_lock(&g_lock);
  free(g_user);
  free(g_domain);
  g_user = strdup(user);
  g_domain = strdup(domain);
  memcpy(g_hash.hash, hash, sizeof g_hash.hash);
  g_have_credentials = initialise_locked() && g_user != NULL && g_domain != NULL;
  const int result = g_have_credentials ? 0 : -1;
  pthread_mutex_unlock(&g_lock);
  return result;
}

int tvr_copy_credentials(char* user, size_t user_size, char* domain, size_t domain_size,
                         uint8_t hash[16]) {
  pthread_mutex_lock(&g_lock);
  int result = -1;
  if (g_have_credentials && strlen(g_user) < user_size && strlen(g_domain) < domain_size) {
    strcpy(user, g_user);
    strcpy(domain, g_domain);
    memcpy(hash, g_hash.hash, sizeof g_hash.hash);
    result = 0;
  }
  pthread_mutex_unlock(&g_lock);
  return result;
}

void tvr_clear_credentials(void) {
  pthread_mutex_lock(&g_lock);
  free(g_user);
  free(g_domain);
  g_user = g_domain = NULL;
  wipe(&g_hash, sizeof g_hash);
  g_have_credentials = false;
  pthread_mutex_unlock(&g_lock);
}

/* ------------------------------------------------------------ connections */

static uint32_t status_of(NTSTATUS s) { return NT_STATUS_V(s); }

static int opnum_of(const struct ndr_interface_table* table, const char* name) {
  for (uint32_t i = 0; i < table->num_calls; ++i)
    if (strcmp(table->calls[i].name, name) == 0) return (int)i;
  return -1;
}

/* Makes one call; the transport's failure marks the connection broken. */
static uint32_t call(tvr_conn* c, struct dcerpc_pipe* p, const struct ndr_interface_table* table,
                     const char* name, TALLOC_CTX* mem, void* r) {
  const int op = opnum_of(table, name);
  if (op < 0) return TVR_PROCEDURE_NOT_FOUND;
  if (c->broken || p == NULL) return TVR_CONNECTION_DISCONNECTED;
  NTSTATUS s = dcerpc_binding_handle_call(p->binding_handle, NULL, table, (uint32_t)op, mem, r);
  if (!NT_STATUS_IS_OK(s)) {
    if (!dcerpc_binding_handle_is_connected(p->binding_handle)) c->broken = true;
    return status_of(s);
  }
  return TVR_OK;
}

/* The pipes carry no authentication of their own: they run inside the SMB
 * session, which is authenticated and signed (client signing is required),
 * as rpcclient's do. A bind is then one round trip instead of two. */
static char* binding_text(TALLOC_CTX* mem, const char* address, const char* pipe) {
  return talloc_asprintf(mem, "ncacn_np:%s[\\pipe\\%s]", address, pipe);
}

/* The worker's pipe from its parent: read to its end, the parent is gone. */
static int g_lifeline = -1;

void tvr_set_lifeline(int fd) { g_lifeline = fd; }

/* Readable with nothing to read: the parent has gone, and nobody waits for
 * what the computer says. (The parent sends nothing while it waits for a
 * call; should it, the watch ends rather than spin.) */
static void lifeline_ended(struct tevent_context* ev, struct tevent_fd* fde, uint16_t flags,
                           void* data) {
  (void)ev;
  (void)flags;
  (void)data;
  int waiting = 0;
  if (ioctl(g_lifeline, FIONREAD, &waiting) == 0 && waiting == 0) _exit(0);
  talloc_free(fde);
}

/* The sockets open in this process, as a set of descriptors below 1024. */
typedef struct {
  uint64_t bits[16];
} fd_set_1024;

static void open_sockets(fd_set_1024* set) {
  memset(set, 0, sizeof *set);
  DIR* dir = opendir("/proc/self/fd");
  if (dir == NULL) return;
  for (struct dirent* e; (e = readdir(dir)) != NULL;) {
    const int fd = atoi(e->d_name);
    struct stat st;
    if (e->d_name[0] >= '0' && e->d_name[0] <= '9' && fd < 1024 && fstat(fd, &st) == 0 &&
        S_ISSOCK(st.st_mode))
      set->bits[fd / 64] |= 1ull << (fd % 64);
  }
  closedir(dir);
}

/* The one socket in `after` that is not in `before`; -1 when not exactly one. */
static int new_socket(const fd_set_1024* before, const fd_set_1024* after) {
  int found = -1;
  for (int fd = 0; fd < 1024; ++fd)
    if ((after->bits[fd / 64] >> (fd % 64) & 1) && !(before->bits[fd / 64] >> (fd % 64) & 1)) {
      if (found >= 0) return -1;
      found = fd;
    }
  return found;
}

struct answer_watch {
  tvr_answered_fn answered;
  void* context;
  bool told;
};

/* The first event on the connection's socket: the computer took (or refused)
 * the connection. */
static void watch_socket(struct tevent_fd* fde, enum tevent_event_trace_point point, void* data) {
  (void)fde;
  struct answer_watch* w = data;
  if (point == TEVENT_EVENT_TRACE_BEFORE_HANDLER && !w->told) {
    w->told = true;
    w->answered(w->context);
  }
}

uint32_t tvr_connect(const char* address, unsigned port, unsigned timeout_s,
                     tvr_answered_fn answered, void* context, tvr_conn** out) {
  *out = NULL;
  if (address == NULL || port == 0 || port > 65535) return TVR_INVALID_PARAMETER;
  pthread_mutex_lock(&g_lock);
  const bool ready = initialise_locked() && g_have_credentials;
  pthread_mutex_unlock(&g_lock);
  if (!ready) return TVR_UNSUCCESSFUL;
  TALLOC_CTX* mem = talloc_new(NULL);
  tvr_conn* c = mem ? talloc_zero(mem, tvr_conn) : NULL;
  uint32_t status = TVR_NO_MEMORY;
  if (c != NULL) {
    c->mem = mem;
    c->socket_fd = -1;
    c->timeout_s = timeout_s ? timeout_s : 30;
    c->ev = tevent_context_init(mem);
    c->lp = loadparm_init(mem);
    c->creds = cli_credentials_init(mem);
    c->address = talloc_strdup(mem, address);
  }
  char port_text[16];
  snprintf(port_text, sizeof port_text, "%u", port);
  char timeout_text[16];
  snprintf(timeout_text, sizeof timeout_text, "%u", c ? c->timeout_s : 30);
  struct answer_watch watch = {answered, context, answered == NULL};
  if (c != NULL && c->ev && c->lp && c->creds && c->address &&
      lpcfg_set_cmdline(c->lp, "smb ports", port_text) &&
      lpcfg_set_cmdline(c->lp, "client min protocol", "SMB2_02") &&
      lpcfg_set_cmdline(c->lp, "client signing", "required") &&
      lpcfg_set_cmdline(c->lp, "client ipc signing", "required") &&
      cli_credentials_set_username(c->creds, g_user, CRED_SPECIFIED) &&
      cli_credentials_set_domain(c->creds, g_domain, CRED_SPECIFIED) &&
      cli_credentials_set_workstation(c->creds, "TAVRIN", CRED_SPECIFIED) &&
      cli_credentials_set_nt_hash(c->creds, &g_hash, CRED_SPECIFIED) &&
      cli_credentials_set_kerberos_state(c->creds, CRED_USE_KERBEROS_DISABLED, CRED_SPECIFIED)) {
    if (g_lifeline >= 0)
      tevent_add_fd(c->ev, c->mem, g_lifeline, TEVENT_FD_READ, lifeline_ended, NULL);
    tevent_set_trace_fd_callback(c->ev, watch_socket, &watch);
    fd_set_1024 before, after;
    open_sockets(&before);
    status = status_of(dcerpc_pipe_connect(mem, &c->lsa, binding_text(mem, address, "lsarpc"),
                                           &ndr_table_lsarpc, c->creds, c->ev, c->lp));
    tevent_set_trace_fd_callback(c->ev, NULL, NULL);
    open_sockets(&after);
    c->socket_fd = new_socket(&before, &after);
  }
  if (status != TVR_OK) {
    wipe_hash_under(mem);
    talloc_free(mem);
  } else {
    dcerpc_binding_handle_set_timeout(c->lsa->binding_handle, c->timeout_s);
    *out = c;
  }
  return status;
}

/* No goodbye: the policy handles and pipes die with the connection. The
 * libraries would close each pipe's file first, a round trip for nothing:
 * the connection is shut before they are freed. */
void tvr_disconnect(tvr_conn* c) {
  if (c == NULL) return;
  if (c->socket_fd >= 0) shutdown(c->socket_fd, SHUT_RDWR);
  wipe_hash_under(c->mem);
  talloc_free(c->mem);
}

int tvr_usable(const tvr_conn* c) { return c != NULL && !c->broken; }

/* A second pipe on the same SMB connection, bound and signed like the first. */
static uint32_t secondary(tvr_conn* c, const char* pipe, const struct ndr_interface_table* table,
                          struct dcerpc_pipe** out) {
  if (*out != NULL) return TVR_OK;
  if (c->broken) return TVR_CONNECTION_DISCONNECTED;
  struct dcerpc_binding* b = NULL;
  NTSTATUS s = dcerpc_parse_binding(c->mem, binding_text(c->mem, c->address, pipe), &b);
  if (!NT_STATUS_IS_OK(s)) return status_of(s);
  s = dcerpc_secondary_auth_connection(c->lsa, b, table, c->creds, c->lp, c->mem, out);
  if (!NT_STATUS_IS_OK(s)) {
    *out = NULL;
    if (!dcerpc_binding_handle_is_connected(c->lsa->binding_handle)) c->broken = true;
    return status_of(s);
  }
  dcerpc_binding_handle_set_timeout((*out)->binding_handle, c->timeout_s);
  return TVR_OK;
}

/* ------------------------------------------------------------ SIDs and texts */

static bool sid_from_windows(const uint8_t* w, struct dom_sid* sid) {
  if (w == NULL || w[0] != 1 || w[1] > 15) return false;
  memset(sid, 0, sizeof *sid);
  sid->sid_rev_num = w[0];
  sid->num_auths = (int8_t)w[1];
  memcpy(sid->id_auth, w + 2, 6);
  for (int i = 0; i < w[1]; ++i) {
    const uint8_t* p = w + 8 + 4 * i;
    sid->sub_auths[i] =
        (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
  }
  return true;
}

static size_t sid_to_windows(const struct dom_sid* sid, uint8_t* w) {
  const int n = sid->num_auths < 0 ? 0 : sid->num_auths > 15 ? 15 : sid->num_auths;
  w[0] = sid->sid_rev_num;
  w[1] = (uint8_t)n;
  memcpy(w + 2, sid->id_auth, 6);
  for (int i = 0; i < n; ++i) {
    uint8_t* p = w + 8 + 4 * i;
    const uint32_t v = sid->sub_auths[i];
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
  }
  return 8 + 4 * (size_t)n;
}

static const char* text_or_empty(const char* s) { return s ? s : ""; }

/* ------------------------------------------------------------ LSA */

static uint32_t do_lsa_open_policy(tvr_conn* c, uint32_t access, tvr_handle* handle) {
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct lsa_ObjectAttribute attr;
  struct lsa_QosInfo qos;
  memset(&attr, 0, sizeof attr);
  memset(&qos, 0, sizeof qos);
  qos.len = sizeof qos;
  qos.impersonation_level = 2;
  attr.len = sizeof attr;
  attr.sec_qos = &qos;
  struct policy_handle h;
  memset(&h, 0, sizeof h);
  struct lsa_OpenPolicy2 r;
  memset(&r, 0, sizeof r);
  r.in.system_name = "\\";
  r.in.attr = &attr;
  r.in.access_mask = access;
  r.out.handle = &h;
  uint32_t status = call(c, c->lsa, &ndr_table_lsarpc, "lsa_OpenPolicy2", mem, &r);
  if (status == TVR_OK) status = status_of(r.out.result);
  if (status == TVR_OK) memcpy(handle->bytes, &h, sizeof handle->bytes);
  talloc_free(mem);
  return status;
}

static uint32_t do_lsa_close(tvr_conn* c, tvr_handle* handle) {
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct policy_handle h;
  memcpy(&h, handle->bytes, sizeof handle->bytes);
  struct lsa_Close r;
  memset(&r, 0, sizeof r);
  r.in.handle = &h;
  r.out.handle = &h;
  uint32_t status = call(c, c->lsa, &ndr_table_lsarpc, "lsa_Close", mem, &r);
  if (status == TVR_OK) status = status_of(r.out.result);
  talloc_free(mem);
  return status;
}

static uint32_t do_lsa_enum_rights(tvr_conn* c, const tvr_handle* handle, const uint8_t* wsid,
                                   tvr_text_fn each, void* context) {
  struct dom_sid sid;
  if (!sid_from_windows(wsid, &sid)) return TVR_INVALID_PARAMETER;
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct policy_handle h;
  memcpy(&h, handle->bytes, sizeof handle->bytes);
  struct lsa_RightSet rights;
  memset(&rights, 0, sizeof rights);
  struct lsa_EnumAccountRights r;
  memset(&r, 0, sizeof r);
  r.in.handle = &h;
  r.in.sid = &sid;
  r.out.rights = &rights;
  uint32_t status = call(c, c->lsa, &ndr_table_lsarpc, "lsa_EnumAccountRights", mem, &r);
  if (status == TVR_OK) status = status_of(r.out.result);
  if (status == TVR_OK)
    for (uint32_t i = 0; i < rights.count; ++i)
      each(context, text_or_empty(rights.names[i].string));
  talloc_free(mem);
  return status;
}

static uint32_t do_lsa_enum_accounts_with_right(tvr_conn* c, const tvr_handle* handle,
                                                const char* name, tvr_sid_fn each, void* context) {
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct policy_handle h;
  memcpy(&h, handle->bytes, sizeof handle->bytes);
  struct lsa_String right;
  memset(&right, 0, sizeof right);
  right.string = name;
  struct lsa_SidArray sids;
  memset(&sids, 0, sizeof sids);
  struct lsa_EnumAccountsWithUserRight r;
  memset(&r, 0, sizeof r);
  r.in.handle = &h;
  r.in.name = name ? &right : NULL;
  r.out.sids = &sids;
  uint32_t status = call(c, c->lsa, &ndr_table_lsarpc, "lsa_EnumAccountsWithUserRight", mem, &r);
  if (status == TVR_OK) status = status_of(r.out.result);
  if (status == TVR_OK)
    for (uint32_t i = 0; i < sids.num_sids; ++i) {
      if (sids.sids == NULL || sids.sids[i].sid == NULL) continue;
      uint8_t w[8 + 4 * 15];
      each(context, w, sid_to_windows(sids.sids[i].sid, w));
    }
  talloc_free(mem);
  return status;
}

static uint32_t do_lsa_change_rights(tvr_conn* c, const tvr_handle* handle, const uint8_t* wsid,
                                     int add, int remove_all, const char* const* names,
                                     uint32_t count) {
  struct dom_sid sid;
  if (!sid_from_windows(wsid, &sid) || count > 256) return TVR_INVALID_PARAMETER;
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct policy_handle h;
  memcpy(&h, handle->bytes, sizeof handle->bytes);
  struct lsa_RightSet rights;
  rights.count = count;
  rights.names = count ? talloc_zero_array(mem, struct lsa_StringLarge, count) : NULL;
  for (uint32_t i = 0; i < count && rights.names != NULL; ++i) rights.names[i].string = names[i];
  uint32_t status;
  if (add) {
    struct lsa_AddAccountRights r;
    memset(&r, 0, sizeof r);
    r.in.handle = &h;
    r.in.sid = &sid;
    r.in.rights = &rights;
    status = call(c, c->lsa, &ndr_table_lsarpc, "lsa_AddAccountRights", mem, &r);
    if (status == TVR_OK) status = status_of(r.out.result);
  } else {
    struct lsa_RemoveAccountRights r;
    memset(&r, 0, sizeof r);
    r.in.handle = &h;
    r.in.sid = &sid;
    r.in.remove_all = remove_all ? 1 : 0;
    r.in.rights = &rights;
    status = call(c, c->lsa, &ndr_table_lsarpc, "lsa_RemoveAccountRights", mem, &r);
    if (status == TVR_OK) status = status_of(r.out.result);
  }
  talloc_free(mem);
  return status;
}

static uint32_t lookup_handle(tvr_conn* c) {
  if (c->have_lookup_handle) return TVR_OK;
  tvr_handle h;
  const uint32_t status = do_lsa_open_policy(c, 0x00000800 /* POLICY_LOOKUP_NAMES */, &h);
  if (status != TVR_OK) return status;
  memcpy(&c->lookup_handle, h.bytes, sizeof h.bytes);
  c->have_lookup_handle = true;
  return TVR_OK;
}

static const char* domain_name_of(const struct lsa_RefDomainList* domains, uint32_t index) {
  if (domains == NULL || index >= domains->count) return "";
  return text_or_empty(domains->domains[index].name.string);
}

static uint32_t do_lsa_lookup_name(tvr_conn* c, const char* name, tvr_account_fn found,
                                   void* context) {
  uint32_t status = lookup_handle(c);
  if (status != TVR_OK) return status;
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct lsa_String text;
  text.string = name;
  text.length = text.size = 0; /* set by the marshalling */
  struct lsa_TransSidArray3 sids;
  memset(&sids, 0, sizeof sids);
  struct lsa_RefDomainList* domains = NULL;
  uint32_t count = 0;
  struct lsa_LookupNames3 r;
  memset(&r, 0, sizeof r);
  r.in.handle = &c->lookup_handle;
  r.in.num_names = 1;
  r.in.names = &text;
  r.in.level = LSA_LOOKUP_NAMES_ALL;
  r.in.lookup_options = LSA_LOOKUP_OPTION_SEARCH_ISOLATED_NAMES;
  r.in.client_revision = LSA_CLIENT_REVISION_2;
  r.in.sids = &sids;
  r.in.count = &count;
  r.out.domains = &domains;
  r.out.sids = &sids;
  r.out.count = &count;
  status = call(c, c->lsa, &ndr_table_lsarpc, "lsa_LookupNames3", mem, &r);
  if (status == TVR_OK) status = status_of(r.out.result);
  if (status == TVR_OK &&
      (sids.count < 1 || sids.sids[0].sid == NULL || sids.sids[0].sid_type == SID_NAME_UNKNOWN))
    status = TVR_NONE_MAPPED;
  if (status == TVR_OK) {
    uint8_t w[68];
    const size_t size = sid_to_windows(sids.sids[0].sid, w);
    const char* domain = domain_name_of(domains, sids.sids[0].sid_index);
    found(context, (uint32_t)sids.sids[0].sid_type, w, size, "", domain);
  }
  talloc_free(mem);
  return status;
}

static uint32_t do_lsa_lookup_sid(tvr_conn* c, const uint8_t* wsid, tvr_account_fn found,
                                  void* context) {
  struct dom_sid sid;
  if (!sid_from_windows(wsid, &sid)) return TVR_INVALID_PARAMETER;
  uint32_t status = lookup_handle(c);
  if (status != TVR_OK) return status;
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct lsa_SidPtr ptr;
  ptr.sid = &sid;
  struct lsa_SidArray array;
  array.num_sids = 1;
  array.sids = &ptr;
  struct lsa_TransNameArray names;
  memset(&names, 0, sizeof names);
  struct lsa_RefDomainList* domains = NULL;
  uint32_t count = 0;
  struct lsa_LookupSids r;
  memset(&r, 0, sizeof r);
  r.in.handle = &c->lookup_handle;
  r.in.sids = &array;
  r.in.level = LSA_LOOKUP_NAMES_ALL;
  r.in.names = &names;
  r.in.count = &count;
  r.out.domains = &domains;
  r.out.names = &names;
  r.out.count = &count;
  status = call(c, c->lsa, &ndr_table_lsarpc, "lsa_LookupSids", mem, &r);
  if (status == TVR_OK) status = status_of(r.out.result);
  if (status == TVR_OK && (names.count < 1 || names.names[0].sid_type == SID_NAME_UNKNOWN ||
                           names.names[0].sid_type == SID_NAME_INVALID))
    status = TVR_NONE_MAPPED;
  if (status == TVR_OK) {
    const char* domain = domain_name_of(domains, names.names[0].sid_index);
    const char* name = text_or_empty(names.names[0].name.string);
    /* A domain's own SID: the domain's name is its name too. */
    if (names.names[0].sid_type == SID_NAME_DOMAIN && name[0] == '\0') name = domain;
    found(context, (uint32_t)names.names[0].sid_type, wsid, 8 + 4 * (size_t)wsid[1], name, domain);
  }
  talloc_free(mem);
  return status;
}

/* ------------------------------------------------------------ SAM */

static uint32_t sam_connect(tvr_conn* c, TALLOC_CTX* mem, struct policy_handle* connect) {
  uint32_t status = secondary(c, "samr", &ndr_table_samr, &c->samr);
  if (status != TVR_OK) return status;
  struct samr_Connect2 r;
  memset(&r, 0, sizeof r);
  r.in.system_name = "\\";
  r.in.access_mask = 0x00000030; /* SAMR_ACCESS_ENUM_DOMAINS | SAMR_ACCESS_LOOKUP_DOMAIN */
  r.out.connect_handle = connect;
  status = call(c, c->samr, &ndr_table_samr, "samr_Connect2", mem, &r);
  return status == TVR_OK ? status_of(r.out.result) : status;
}

static void sam_close(tvr_conn* c, TALLOC_CTX* mem, struct policy_handle* h) {
  struct samr_Close r;
  memset(&r, 0, sizeof r);
  r.in.handle = h;
  r.out.handle = h;
  call(c, c->samr, &ndr_table_samr, "samr_Close", mem, &r);
}

/* The account domain's name: the first domain that is not Builtin. */
static uint32_t sam_account_domain_name(tvr_conn* c, TALLOC_CTX* mem, struct policy_handle* connect,
                                        const char** name) {
  uint32_t resume = 0, entries = 0;
  struct samr_SamArray* sam = NULL;
  struct samr_EnumDomains r;
  memset(&r, 0, sizeof r);
  r.in.connect_handle = connect;
  r.in.buf_size = 0xFFFF;
  r.in.resume_handle = &resume;
  r.out.sam = &sam;
  r.out.num_entries = &entries;
  r.out.resume_handle = &resume;
  uint32_t status = call(c, c->samr, &ndr_table_samr, "samr_EnumDomains", mem, &r);
  if (status == TVR_OK) status = status_of(r.out.result);
  if (status == TVR_MORE_ENTRIES) status = TVR_OK;
  if (status != TVR_OK) return status;
  for (uint32_t i = 0; sam != NULL && i < sam->count; ++i) {
    const char* n = sam->entries[i].name.string;
    if (n != NULL && strcasecmp(n, "Builtin") != 0) {
      *name = n;
      return TVR_OK;
    }
  }
  return TVR_UNSUCCESSFUL;
}

static uint32_t sam_open_domain(tvr_conn* c, TALLOC_CTX* mem, struct policy_handle* connect,
                                const char* name, struct policy_handle* domain) {
  struct lsa_String text;
  memset(&text, 0, sizeof text);
  text.string = name;
  struct dom_sid* sid = NULL;
  struct samr_LookupDomain l;
  memset(&l, 0, sizeof l);
  l.in.connect_handle = connect;
  l.in.domain_name = &text;
  l.out.sid = &sid;
  uint32_t status = call(c, c->samr, &ndr_table_samr, "samr_LookupDomain", mem, &l);
  if (status == TVR_OK) status = status_of(l.out.result);
  if (status != TVR_OK) return status;
  struct samr_OpenDomain o;
  memset(&o, 0, sizeof o);
  o.in.connect_handle = connect;
  o.in.access_mask = 0x00000100; /* DOMAIN_ACCESS_ENUM_ACCOUNTS */
  o.in.sid = sid;
  o.out.domain_handle = domain;
  status = call(c, c->samr, &ndr_table_samr, "samr_OpenDomain", mem, &o);
  return status == TVR_OK ? status_of(o.out.result) : status;
}

static uint32_t do_sam_account_domain(tvr_conn* c, tvr_text_fn found, void* context) {
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct policy_handle connect;
  const char* name = NULL;
  uint32_t status = sam_connect(c, mem, &connect);
  if (status == TVR_OK) {
    status = sam_account_domain_name(c, mem, &connect, &name);
    if (status == TVR_OK) found(context, name);
    sam_close(c, mem, &connect);
  }
  talloc_free(mem);
  return status;
}

static uint32_t do_sam_enum(tvr_conn* c, enum tvr_sam_list list, tvr_text_fn each, void* context) {
  TALLOC_CTX* mem = talloc_new(c->mem);
  struct policy_handle connect, domain;
  const char* name = "Builtin";
  uint32_t status = sam_connect(c, mem, &connect);
  if (status != TVR_OK) {
    talloc_free(mem);
    return status;
  }
  if (list != TVR_SAM_BUILTIN_ALIASES) status = sam_account_domain_name(c, mem, &connect, &name);
  if (status == TVR_OK) status = sam_open_domain(c, mem, &connect, name, &domain);
  if (status == TVR_OK) {
    uint32_t resume = 0;
    do {
      TALLOC_CTX* batch = talloc_new(mem);
      uint32_t entries = 0;
      struct samr_SamArray* sam = NULL;
      /* The three enumerations differ only in their structure's type and name. */
#define ENUMERATE(type, flags)                                    \
  do {                                                            \
    struct type r;                                                \
    memset(&r, 0, sizeof r);                                      \
    r.in.domain_handle = &domain;                                 \
    r.in.max_size = 0xFFFF;                                       \
    r.in.resume_handle = &resume;                                 \
    r.out.sam = &sam;                                             \
    r.out.num_entries = &entries;                                 \
    r.out.resume_handle = &resume;                                \
    flags;                                                        \
    status = call(c, c->samr, &ndr_table_samr, #type, batch, &r); \
    if (status == TVR_OK) status = status_of(r.out.result);       \
  } while (0)
      if (list == TVR_SAM_USERS)
        ENUMERATE(samr_EnumDomainUsers, r.in.acct_flags = ACB_NORMAL);
      else if (list == TVR_SAM_GROUPS)
        ENUMERATE(samr_EnumDomainGroups, (void)0);
      else
        ENUMERATE(samr_EnumDomainAliases, (void)0);
#undef ENUMERATE
      if (status == TVR_OK || status == TVR_MORE_ENTRIES)
        for (uint32_t i = 0; sam != NULL && i < sam->count; ++i)
          each(context, text_or_empty(sam->entries[i].name.string));
      /* A server that says "more" without moving on would loop forever. */
      if (status == TVR_MORE_ENTRIES && (sam == NULL || sam->count == 0)) status = TVR_UNSUCCESSFUL;
      talloc_free(batch);
    } while (status == TVR_MORE_ENTRIES);
    sam_close(c, mem, &domain);
  }
  sam_close(c, mem, &connect);
  talloc_free(mem);
  return status;
}

/* ------------------------------------------------------------ server service */

static uint32_t do_server_get_info(tvr_conn* c, tvr_server_info* info, tvr_text_fn name,
                                   void* context) {
  const int op = opnum_of(&ndr_table_srvsvc, "srvsvc_NetSrvGetInfo");
  if (op < 0 || ndr_table_srvsvc.calls[op].struct_size != sizeof(struct tvr_srvsvc_NetSrvGetInfo))
    return TVR_NOT_SUPPORTED;
  uint32_t status = secondary(c, "srvsvc", &ndr_table_srvsvc, &c->srvsvc);
  if (status != TVR_OK) return status;
  TALLOC_CTX* mem = talloc_new(c->mem);
  union tvr_srvsvc_NetSrvInfo out;
  memset(&out, 0, sizeof out);
  struct tvr_srvsvc_NetSrvGetInfo r;
  memset(&r, 0, sizeof r);
  r.in.server_unc = talloc_asprintf(mem, "\\\\%s", c->address);
  r.in.level = 101;
  r.out.info = &out;
  status = call(c, c->srvsvc, &ndr_table_srvsvc, "srvsvc_NetSrvGetInfo", mem, &r);
  info->werror = 0;
  if (status == TVR_OK) {
    info->werror = W_ERROR_V(r.out.result);
    if (info->werror == 0 && out.info101 != NULL) {
      info->platform_id = out.info101->platform_id;
      info->version_major = out.info101->version_major;
      info->version_minor = out.info101->version_minor;
      info->type = out.info101->server_type;
      name(context, text_or_empty(out.info101->server_name));
    } else if (info->werror == 0) {
      status = TVR_UNSUCCESSFUL;
    }
  }
  talloc_free(mem);
  return status;
}

/* ------------------------------------------------------------ the entry points */

/* One worker process makes these calls, from one thread: the libraries keep
 * per-process state (their stack of temporary memory frames) that is not
 * safe to use from two threads at once, so calls for different computers
 * run side by side in processes of their own (Workers.cpp). */

uint32_t tvr_lsa_open_policy(tvr_conn* c, uint32_t access, tvr_handle* handle) {
  return do_lsa_open_policy(c, access, handle);
}

uint32_t tvr_lsa_close(tvr_conn* c, tvr_handle* handle) { return do_lsa_close(c, handle); }

uint32_t tvr_lsa_enum_rights(tvr_conn* c, const tvr_handle* handle, const uint8_t* wsid,
                             tvr_text_fn each, void* context) {
  return do_lsa_enum_rights(c, handle, wsid, each, context);
}

uint32_t tvr_lsa_enum_accounts_with_right(tvr_conn* c, const tvr_handle* handle, const char* name,
                                          tvr_sid_fn each, void* context) {
  return do_lsa_enum_accounts_with_right(c, handle, name, each, context);
}

uint32_t tvr_lsa_change_rights(tvr_conn* c, const tvr_handle* handle, const uint8_t* wsid, int add,
                               int remove_all, const char* const* names, uint32_t count) {
  return do_lsa_change_rights(c, handle, wsid, add, remove_all, names, count);
}

uint32_t tvr_lsa_lookup_name(tvr_conn* c, const char* name, tvr_account_fn found, void* context) {
  return do_lsa_lookup_name(c, name, found, context);
}

uint32_t tvr_lsa_lookup_sid(tvr_conn* c, const uint8_t* wsid, tvr_account_fn found, void* context) {
  return do_lsa_lookup_sid(c, wsid, found, context);
}

uint32_t tvr_sam_account_domain(tvr_conn* c, tvr_text_fn found, void* context) {
  return do_sam_account_domain(c, found, context);
}

uint32_t tvr_sam_enum(tvr_conn* c, enum tvr_sam_list list, tvr_text_fn each, void* context) {
  return do_sam_enum(c, list, each, context);
}

uint32_t tvr_server_get_info(tvr_conn* c, tvr_server_info* info, tvr_text_fn name, void* context) {
  return do_server_get_info(c, info, name, context);
}
