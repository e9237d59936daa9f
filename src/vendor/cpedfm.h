// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* The interface of the "copote" vendor library (cpedfm): open the meter's port, read its
 * 56-digit register record, close the port. Every function takes the port number (1 to 8) as a
 * 32-bit signed integer by value.
 *
 * Windows (a library written for a Visual Basic 6 caller): __stdcall exports with plain names,
 * and the record is a BSTR holding 8-bit characters (SysAllocStringByteLen; its length is
 * SysStringByteLen), which the caller releases with SysFreeString.
 * Elsewhere: C calls, and the record is a NUL-terminated string allocated with malloc, which the
 * caller releases with free. */
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>

#include <oleauto.h>
#define CPEDFM_CALL __stdcall
#ifdef CPEDFM_BUILD
#define CPEDFM_EXPORT __declspec(dllexport)
#else
#define CPEDFM_EXPORT __declspec(dllimport)
#endif
typedef BSTR cpedfm_text;
#else
#define CPEDFM_CALL
#define CPEDFM_EXPORT __attribute__((visibility("default")))
typedef char* cpedfm_text;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero when the port is open and the meter may be read. */
CPEDFM_EXPORT int32_t CPEDFM_CALL ComOpen(int32_t port);
/* The register record; the caller releases it (see above). */
CPEDFM_EXPORT cpedfm_text CPEDFM_CALL ReadRegister(int32_t port);
/* Closes the port. Nonzero: the record read stands; zero: the reading is void. */
CPEDFM_EXPORT int32_t CPEDFM_CALL ComClose(int32_t port);
/* Optional: what went wrong last, in words; owned by the library. Empty when nothing did. */
CPEDFM_EXPORT const char* CPEDFM_CALL ComLastError(void);

#ifdef __cplusplus
}
#endif
