/* Configuration header for the host tests: counts how often the unit enters and leaves its
 * critical section, so that the tests can check that every entry is matched by an exit. */
#ifndef CIRCBUFF_TEST_CONFIG_H_
#define CIRCBUFF_TEST_CONFIG_H_

extern int gCircbuffCriticalDepth;
extern int gCircbuffCriticalEntries;

#define CIRCBUFF_ENTER_CRITICAL() (gCircbuffCriticalDepth++, gCircbuffCriticalEntries++)
#define CIRCBUFF_EXIT_CRITICAL() (gCircbuffCriticalDepth--)

#endif /* CIRCBUFF_TEST_CONFIG_H_ */
