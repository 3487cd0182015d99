/*
 * kelvo.h - the VELTAR terminal line protocol.
 *
 * Kelvo builds the request frames that a terminal sends to a VELTAR frequency
 * converter, checks and decodes the frames the converter sends back, and holds
 * the PC-key and display-character tables. It is a plain C interface: every
 * function has C linkage, nothing throws, and only the nine Kelvo_ functions
 * below are exported from libkelvo.so.1.
 *
 * Wire format (both directions): STX (0x02); payload length L as two
 * characters; every payload byte as two characters; an 8-bit checksum as two
 * characters; ETX (0x03). Each character is 0x30 OR one 4-bit nibble, high
 * nibble first, so nibble characters are 0x30..0x3F. The checksum starts at 2
 * and adds every length and payload character as sent, modulo 256. A frame is
 * 2L + 6 bytes long.
 *
 * Threads: the library keeps one process-wide request state and one last
 * error code, takes no locks, and expects every call except Kelvo_KeyToID and
 * Kelvo_CharConv (which are pure and safe from any thread) to come from one
 * thread at a time; the program calls it from its main thread only.
 *
 * Lifecycle: the request state and the last error are zero when the library
 * is loaded and are reset to zero when it is unloaded. Linux tells a shared
 * library nothing about threads starting or ending, so unlike a Windows DLL
 * the state is not reset then: it lives from load to unload.
 *
 * Memory: the library never allocates on the heap and never keeps a pointer
 * that the caller passed in. Every buffer passed in belongs to the caller.
 */
#ifndef KELVO_H
#define KELVO_H

#include <stddef.h>
#include <stdint.h>

#if defined(KELVO_BUILDING_LIBRARY)
#define KELVO_API __attribute__((visibility("default")))
#else
#define KELVO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A key going down or up. Any other value is ignored by Kelvo_SetButtonStatus. */
typedef uint8_t TButtonEvent;
#define bePressed ((TButtonEvent)0)    /* the key is held from now on */
#define beReleased ((TButtonEvent)1)   /* the key is let go after the next frame */
#define beReleaseAll ((TButtonEvent)2) /* every key is let go at once */

/* A terminal key: high byte = key-state byte (0 or 1), low byte = bit mask.
 * The eleven keys of the terminal, by key index:
 *   0 up 0x0104   1 left 0x0010   2 display 0x0120   3 right 0x0102
 *   4 down 0x0101 5 escape 0x0004 6 enter 0x0008     7 jog 0x0108
 *   8 direction 0x0110  9 start 0x0001  10 stop 0x0002 */
typedef uint16_t TTerminalButton;

/* A compiled request: bytes[0] = N, the number of frame bytes; bytes[1..N] =
 * the frame exactly as it goes on the wire. */
typedef struct {
  uint8_t bytes[256];
} TTerminalMessageFrame;

/* The largest payload a frame can announce (and Kelvo_Check can decode). */
#define KELVO_MAX_PAYLOAD 255

/* Kelvo_KeyToID result for a key that is not a terminal key. */
#define KELVO_NO_KEY 100

/* Error codes of Kelvo_GetLastError, in the order Kelvo_Check tests them. */
#define KELVO_ERROR_NO_STX 0       /* first character is not STX (or bad arguments) */
#define KELVO_ERROR_BAD_CHAR 1     /* length, payload or checksum character not in 0x30..0x3F */
#define KELVO_ERROR_BAD_LENGTH 2   /* text length is not 2L + 6 for the announced L */
#define KELVO_ERROR_BAD_CHECKSUM 3 /* a checksum character does not match */
#define KELVO_ERROR_NO_ETX 4       /* the character after the checksum is not ETX */

/* Kelvo_Check result for a failed check. A valid frame whose first payload
 * byte is 1 returns the same value; callers act only on 'K' and 'M'. */
#define KELVO_CHECK_FAILED 1

/*
 * Records a key event in the request state.
 *   bePressed:    the key's bit is set in the key state.
 *   beReleased:   the key's bit is set in the release mask; the key stays held
 *                 for exactly one more compiled frame, so a click between two
 *                 frames still reaches the converter.
 *   beReleaseAll: key state and release masks are cleared at once; the
 *                 button is not looked at.
 * A press or release of a button whose high byte is not 0 or 1, and any other
 * event, is ignored.
 */
KELVO_API void Kelvo_SetButtonStatus(TButtonEvent event, TTerminalButton button);

/* Sets the request type byte, which chooses how many values a frame carries:
 * 0x00 '0' '8' '@' 'P' 'x' one value (22-byte frame); 'y' two (26 bytes);
 * '{' four (34 bytes); any other type sends two zero bytes (22 bytes).
 * The type is kept across compiles. */
KELVO_API void Kelvo_SetType(uint8_t type);

/* Sets the request address; only its low 16 bits are sent. Cleared to 0 by
 * every compile. */
KELVO_API void Kelvo_SetAddress(uint32_t address);

/* Sets the four request values. Value 1 is cleared to 0 by every compile;
 * values 2 to 4 are kept until set again. */
KELVO_API void Kelvo_SetValue(uint16_t value1, uint16_t value2, uint16_t value3, uint16_t value4);

/*
 * Compiles the request state into a frame. Writes frame->bytes[0] = N and the
 * N frame bytes after it (22, 26 or 34); the rest of the record is untouched.
 * Afterwards released keys are dropped from the key state, the release masks,
 * the address and value 1 are cleared. A null frame is ignored and changes no
 * state. The caller owns the record.
 */
KELVO_API void Kelvo_CompileMessage(TTerminalMessageFrame *frame);

/* Returns the error code left by the last failed Kelvo_Check (see
 * KELVO_ERROR_*); 0 until a check fails. Successful checks and reading it
 * leave it unchanged. */
KELVO_API uint8_t Kelvo_GetLastError(void);

/*
 * Checks one received frame and decodes its payload.
 *   text, textLength:  exactly one frame, from its STX through its ETX. Only
 *                      text[0 .. textLength) is read; the text is not changed.
 *   decoded:           caller's buffer with room for KELVO_MAX_PAYLOAD bytes;
 *                      on success it holds the L payload bytes. At most
 *                      KELVO_MAX_PAYLOAD bytes are ever written.
 *   decodedLength:     set to the announced length L as far as the check got
 *                      (the high length character contributes 16 x its
 *                      nibble, the low one its nibble), else 0.
 * Returns the first payload byte ('M' 0x4D from a converter, 'K' 0x4B from a
 * programming terminal), 0 for a valid frame with an empty payload, or
 * KELVO_CHECK_FAILED (1) with the cause in Kelvo_GetLastError. The tests run
 * in order (STX, characters, length, checksum, ETX) and the first failing one
 * decides the code. A null text, decoded or decodedLength fails with code 0
 * and writes nothing. After a failure the decoded bytes must not be used.
 */
KELVO_API uint8_t Kelvo_Check(const uint8_t *text, size_t textLength, uint8_t *decoded,
                              size_t *decodedLength);

/* Maps a Windows virtual-key code to a terminal key index 0..10, or
 * KELVO_NO_KEY (100). Modifier state is not looked at. Pure; any thread. */
KELVO_API int32_t Kelvo_KeyToID(uint16_t virtualKey);

/*
 * Returns the text the display shows for a display character code: a
 * zero-terminated Windows-1250 string owned by the library and valid for the
 * life of the process. Code 0x26 gives "&&" (a label's escaped '&'); the
 * accented letters and signs of the display give their code-page bytes;
 * codes without a mapping give a one-character text of themselves (code 0
 * gives "@"). Never null. Pure; any thread.
 */
KELVO_API const char *Kelvo_CharConv(uint8_t code);

#ifdef __cplusplus
}
#endif

#endif /* KELVO_H */
