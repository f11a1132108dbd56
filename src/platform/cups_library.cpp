// libcups is opened at the first call into it instead of at program start:
// loading it with the libraries it pulls in costs every run of the program
// about a third of its start-up, while only the server and the printer
// commands talk to CUPS. These definitions stand in for the library's own;
// without the library each call fails as it does when no scheduler answers.
#include <cups/cups.h>
#include <dlfcn.h>

#include <cstring>

namespace {

void* Symbol(const char* name) {
  static void* const library = ::dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
  return library != nullptr ? ::dlsym(library, name) : nullptr;
}

template <typename Fn>
Fn Resolve(const char* name) {
  void* address = Symbol(name);
  Fn fn = nullptr;
  std::memcpy(&fn, &address, sizeof fn);  // object to function pointer, as dlsym wants
  return fn;
}

}  // namespace

#define DOVEVID_CUPS(ret, name, params, args, failed)       \
  extern "C" ret name params {                              \
    static const auto fn = Resolve<decltype(&name)>(#name); \
    if (fn == nullptr) return failed;                       \
    return fn args;                                         \
  }

// clang-format off
DOVEVID_CUPS(ipp_status_t, cupsCancelJob2, (http_t* http, const char* name, int job_id, int purge),
             (http, name, job_id, purge), IPP_STATUS_ERROR_SERVICE_UNAVAILABLE)
DOVEVID_CUPS(ipp_t*, cupsDoRequest, (http_t* http, ipp_t* request, const char* resource),
             (http, request, resource), nullptr)
DOVEVID_CUPS(http_encryption_t, cupsEncryption, (void), (), HTTP_ENCRYPTION_IF_REQUESTED)
DOVEVID_CUPS(ipp_status_t, cupsFinishDocument, (http_t* http, const char* name), (http, name),
             IPP_STATUS_ERROR_SERVICE_UNAVAILABLE)
DOVEVID_CUPS(void, cupsFreeDests, (int num_dests, cups_dest_t* dests), (num_dests, dests), void())
DOVEVID_CUPS(int, cupsGetDests2, (http_t* http, cups_dest_t** dests), (http, dests), 0)
DOVEVID_CUPS(const char*, cupsGetOption,
             (const char* name, int num_options, cups_option_t* options),
             (name, num_options, options), nullptr)
DOVEVID_CUPS(ipp_status_t, cupsLastError, (void), (), IPP_STATUS_ERROR_SERVICE_UNAVAILABLE)
DOVEVID_CUPS(const char*, cupsServer, (void), (), "/run/cups/cups.sock")
DOVEVID_CUPS(http_status_t, cupsStartDocument,
             (http_t* http, const char* name, int job_id, const char* docname, const char* format,
              int last_document),
             (http, name, job_id, docname, format, last_document), HTTP_STATUS_ERROR)
DOVEVID_CUPS(const char*, cupsUser, (void), (), "root")
DOVEVID_CUPS(http_status_t, cupsWriteRequestData,
             (http_t* http, const char* buffer, size_t length), (http, buffer, length),
             HTTP_STATUS_ERROR)
DOVEVID_CUPS(http_uri_status_t, httpAssembleURI,
             (http_uri_coding_t encoding, char* uri, int urilen, const char* scheme,
              const char* username, const char* host, int port, const char* resource),
             (encoding, uri, urilen, scheme, username, host, port, resource),
             HTTP_URI_STATUS_BAD_ARGUMENTS)
DOVEVID_CUPS(void, httpClose, (http_t* http), (http), void())
DOVEVID_CUPS(http_t*, httpConnect2,
             (const char* host, int port, http_addrlist_t* addrlist, int family,
              http_encryption_t encryption, int blocking, int msec, int* cancel),
             (host, port, addrlist, family, encryption, blocking, msec, cancel), nullptr)
DOVEVID_CUPS(int, httpFlushWrite, (http_t* http), (http), -1)
DOVEVID_CUPS(void, httpSetTimeout,
             (http_t* http, double timeout, http_timeout_cb_t cb, void* user_data),
             (http, timeout, cb, user_data), void())
DOVEVID_CUPS(ipp_attribute_t*, ippAddString,
             (ipp_t* ipp, ipp_tag_t group, ipp_tag_t value_tag, const char* name,
              const char* language, const char* value),
             (ipp, group, value_tag, name, language, value), nullptr)
DOVEVID_CUPS(ipp_attribute_t*, ippAddStrings,
             (ipp_t* ipp, ipp_tag_t group, ipp_tag_t value_tag, const char* name, int num_values,
              const char* language, const char* const* values),
             (ipp, group, value_tag, name, num_values, language, values), nullptr)
DOVEVID_CUPS(void, ippDelete, (ipp_t* ipp), (ipp), void())
DOVEVID_CUPS(ipp_attribute_t*, ippFindAttribute,
             (ipp_t* ipp, const char* name, ipp_tag_t value_tag), (ipp, name, value_tag), nullptr)
DOVEVID_CUPS(int, ippGetCount, (ipp_attribute_t* attr), (attr), 0)
DOVEVID_CUPS(int, ippGetInteger, (ipp_attribute_t* attr, int element), (attr, element), 0)
DOVEVID_CUPS(const char*, ippGetString,
             (ipp_attribute_t* attr, int element, const char** language),
             (attr, element, language), nullptr)
DOVEVID_CUPS(ipp_t*, ippNewRequest, (ipp_op_t op), (op), nullptr)
DOVEVID_CUPS(int, ippPort, (void), (), 631)
DOVEVID_CUPS(int, ippSetString,
             (ipp_t* ipp, ipp_attribute_t** attr, int element, const char* strvalue),
             (ipp, attr, element, strvalue), 0)
// clang-format on
