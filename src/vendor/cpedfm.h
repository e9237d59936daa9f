#pragma once
/* The interface of the "copote" vendor library (cpedfm): open the meter's port, read its
 * 56-digit register record, close the port. Every function takes the port number (1 to 8) by
 * value. */
#include <stdint.h>

#ifdef _WIN32
#define CPEDFM_CALL __stdcall
#ifdef CPEDFM_BUILD
#define CPEDFM_EXPORT __declspec(dllexport)
#else
#define CPEDFM_EXPORT __declspec(dllimport)
#endif
#else
#define CPEDFM_CALL
#define CPEDFM_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero when the port is open and the meter may be read. */
CPEDFM_EXPORT int32_t CPEDFM_CALL ComOpen(int32_t port);
/* The register record as a string allocated with malloc; the caller releases it with free. */
CPEDFM_EXPORT char* CPEDFM_CALL ReadRegister(int32_t port);
/* Closes the port. Nonzero: the record read stands; zero: the reading is void. */
CPEDFM_EXPORT int32_t CPEDFM_CALL ComClose(int32_t port);
/* Optional: what went wrong last, in words; owned by the library. Empty when nothing did. */
CPEDFM_EXPORT const char* CPEDFM_CALL ComLastError(void);

#ifdef __cplusplus
}
#endif
