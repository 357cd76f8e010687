/* capstan: the device communication library. C ABI, three entry points. */
#ifndef CAPSTAN_CAPSTAN_H
#define CAPSTAN_CAPSTAN_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(CAPSTAN_BUILDING_LIBRARY)
#define CAPSTAN_API __declspec(dllexport)
#else
#define CAPSTAN_API __declspec(dllimport)
#endif
#else
#define CAPSTAN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Transport names accepted by HALYARD_INIT. */
#define CAPSTAN_TRANSPORT_TCP "tcpwire.dll"
#define CAPSTAN_TRANSPORT_SERIAL "serwire.dll"

/* Device command codes. */
enum {
  CAPSTAN_CMD_READ_OPTION = 11,
  CAPSTAN_CMD_WRITE_OPTION = 12,
  CAPSTAN_CMD_END_CONFIG = 1002,
  CAPSTAN_CMD_BEGIN_CONFIG = 1003,
  CAPSTAN_CMD_RESTART = 1004,
  CAPSTAN_CMD_END_SESSION = 1014
};

/* Reply codes written into the command word. 2000 alone means success. Codes from 2001 come
 * from the device, codes from 4001 from the library itself. */
enum {
  CAPSTAN_REPLY_OK = 2000,
  CAPSTAN_REPLY_REFUSED = 2001,         /* the device would not do it */
  CAPSTAN_REPLY_NOT_FOUND = 2002,       /* unknown option */
  CAPSTAN_REPLY_UNKNOWN_COMMAND = 2003, /* command code the device does not know */
  CAPSTAN_REPLY_BAD_REQUEST = 2004,     /* malformed request, such as a bad scrambled value */
  CAPSTAN_REPLY_TIMEOUT = 4001,         /* no reply within the timeout */
  CAPSTAN_REPLY_TRANSPORT_ERROR = 4002, /* connection lost or not writable */
  CAPSTAN_REPLY_BAD_FRAME = 4003,       /* the device answered something unreadable */
  CAPSTAN_REPLY_UNKNOWN_HANDLE = 4004,  /* no open connection with this handle */
  CAPSTAN_REPLY_BAD_ARGUMENT = 4005     /* negative sizes, null buffer with a length, ... */
};

/* Opens a connection. transport: CAPSTAN_TRANSPORT_TCP or CAPSTAN_TRANSPORT_SERIAL.
 * TCP: address is dotted IPv4 text, portOrId the TCP port, baud 0.
 * Serial: address is the port name ("COM1" or a device path), portOrId the device number,
 * baud the baud rate. The two reserved arguments must be 0.
 * Returns a nonzero handle for an open connection to an answering device, 0 on failure. */
CAPSTAN_API int32_t HALYARD_INIT(const char* transport, const char* address, int32_t portOrId,
                                 int32_t baud, int32_t reserved1, int32_t reserved2);

/* Sends one command. *command holds the command code on the call and the reply code after it.
 * The first `length` bytes of `buffer` are the request (a request longer than `capacity` is
 * still sent whole); the reply payload is copied into `buffer`, never beyond `capacity`.
 * Waits at most timeoutMs milliseconds. Returns the reply code as well. */
CAPSTAN_API int32_t HALYARD_SENDCMD(int32_t handle, uint16_t* command, char* buffer,
                                    int32_t capacity, int32_t length, int32_t timeoutMs);

/* Ends the connection. 0 or an unknown handle is harmless. Returns 0, or -1 for a handle that
 * was not open. */
CAPSTAN_API int32_t HALYARD_CLOSE(int32_t handle);

#ifdef __cplusplus
}
#endif

#endif
