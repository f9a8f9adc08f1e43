/* c_header_test.c: the public headers compile as C and their structures
 * have their fixed sizes there too. */
#include <stddef.h>

#include "zarq.h"
#include "zarq_private.h"

int zarq_c_header_check(void) {
  ZarqSecurityInfo info;
  ZarqPriceRecord record;
  if (offsetof(ZarqSecurityInfo, FieldMask) != 144) return 1;
  if (offsetof(ZarqPriceRecord, FieldMask) != 32) return 2;
  if (offsetof(ZarqSecurityId, Operator) != 43) return 3;
  if (offsetof(ZarqSecurityUpdate, ChangeExtraValue) != 144) return 4;
  if (offsetof(ZarqAdjustSpec, VolumeOperand) != 32) return 5;
  if (offsetof(ZarqDirectoryStatus, LiveSecurities) != 36) return 6;
  (void)info;
  (void)record;
  return ZARQ1_GetZARQState() == ZARQ_STATE_UNINITIALIZED ? 0 : 7;
}
