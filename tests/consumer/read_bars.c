/* read_bars.c: prints the last bars of a security, built against the
 * installed library (find_package(zarq) or pkg-config zarq).
 * Usage: read_bars FOLDER SYMBOL */
#include <stdio.h>
#include <string.h>
#include <zarq.h>

int main(int argc, char **argv) {
  ZarqSecurityId id = {0};
  ZarqPriceRecord bars[5];
  ZarqDateTimePair last = {99991231, 0};
  uint16_t count = 5;
  uint32_t handle = 0;
  if (argc != 3 || ZARQ1_Initialize("read_bars", "me", ZARQ_INTERFACE_VERSION) != ZARQ_OK) return 2;
  if (ZARQ1_OpenDirectory(argv[1], &id.DirNumber, 0) != ZARQ_OK) return 1;
  strncpy(id.Symbol, argv[2], sizeof(id.Symbol) - 1);
  id.Period = 'D';
  if (ZARQ1_GetSecurityHandle(&id, &handle) != ZARQ_OK ||
      ZARQ1_LockSecurity(handle, ZARQ_READ_LOCK) != ZARQ_OK) return 1;
  if (ZARQ2_ReadBackMultipleRecs(handle, bars, &last, &count, ZARQ_FIND_AT_OR_BEFORE) >= 0)
    for (uint16_t i = 0; i < count; ++i)
      printf("%d close %.4f volume %.0f\n", bars[i].Date, bars[i].Close, bars[i].Volume);
  ZARQ1_UnlockSecurity(handle);
  ZARQ1_CloseDirectory(id.DirNumber);
  return ZARQ1_Shutdown() == ZARQ_OK && count > 0 ? 0 : 1;
}
