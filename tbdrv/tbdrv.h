/* Endgame-database driver: the C interface the engine loads.
 *
 * A database directory holds one kind of table (win/loss/draw, distance to
 * win, or moves to conversion) for every material slice up to some number of
 * pieces, one file per slice, built by tbgen. Values are always for the side
 * to move.
 *
 * Positions where the side to move must capture are not stored: a lookup
 * answers them by searching the captures down to stored positions (so it may
 * read several blocks). For moves to conversion they answer 1, the capture
 * being the conversion. Distances count the winner's moves: a win in p plies
 * is (p - 1) / 2, a loss in p plies p / 2. */
#ifndef TBDRV_H
#define TBDRV_H

#include <stdint.h>

#if defined(_WIN32)
#define TBDRV_API __declspec(dllexport)
#else
#define TBDRV_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Type codes reported by tbdrv_identify. */
enum { TBDRV_TYPE_WLD = 4, TBDRV_TYPE_MTC = 5, TBDRV_TYPE_DTW = 11 };

/* WLD lookup values; anything else (0 or negative) is "no answer". */
enum { TBDRV_WIN = 1, TBDRV_LOSS = 2, TBDRV_DRAW = 3, TBDRV_UNKNOWN = 0 };

/* DTW and MTC lookups answer a distance >= 0 or TBDRV_NO_DISTANCE. An MTC
 * value of 1 carries no usable distance (a draw, or a conversion so near
 * that a search finds it at once). */
enum { TBDRV_NO_DISTANCE = -1, TBDRV_MTC_NEAR = 1 };

/* Square n (1-32) is bit n-1; black men move toward higher squares. */
typedef struct tbdrv_position {
  uint32_t black, white, kings;
} tbdrv_position;

typedef struct tbdrv_stats {
  uint64_t cache_blocks; /* blocks the cache holds */
  uint64_t block_reads;  /* blocks read and decoded from files */
  uint64_t skipped;      /* conditional lookups answered "no answer" on a miss */
  uint64_t bad_blocks;   /* blocks that failed their checksum or decoding */
} tbdrv_stats;

typedef struct tbdrv_handle tbdrv_handle;
typedef void (*tbdrv_message_fn)(const char* text);

/* The handle starts with this table. `lookup` may be called from many
 * threads at once on one handle; the others only while no lookup runs. */
typedef struct tbdrv_ops {
  /* side: 0 black, 1 white. conditional 1: answer "no answer" rather than
   * read a file. */
  int (*lookup)(tbdrv_handle* h, const tbdrv_position* p, int side, int conditional);
  int (*pieces)(tbdrv_handle* h); /* largest piece count opened */
  int (*type)(tbdrv_handle* h);   /* type code of the open database */
  void (*stats)(tbdrv_handle* h, tbdrv_stats* out);
  void (*close)(tbdrv_handle* h);
} tbdrv_ops;

struct tbdrv_handle {
  const tbdrv_ops* ops;
};

/* 0 when `dir` holds a usable database: fills its type code and the largest
 * piece count for which every slice is present and intact. */
TBDRV_API int tbdrv_identify(const char* dir, int* type, int* pieces);

/* tbdrv_identify, and for the next larger piece count, when some of its
 * files are there, one message per missing or damaged file that kept it
 * from being used ("tbdrv: 5 pieces not used: PATH: REASON\n"). `message`
 * may be null. */
TBDRV_API int tbdrv_identify_report(const char* dir, int* type, int* pieces, tbdrv_message_fn message);

/* `reserved` must be 0. Opens every slice of up to `pieces` pieces with a
 * block cache of `cache_mb` megabytes; null on failure, with the reason sent
 * to `message` (which may be null). */
TBDRV_API tbdrv_handle* tbdrv_open(int reserved, int pieces, int cache_mb, const char* dir,
                                   tbdrv_message_fn message);

/* Interface revision: major * 100 + minor. */
TBDRV_API extern const int32_t tbdrv_version;

#ifdef __cplusplus
}
#endif

#endif
