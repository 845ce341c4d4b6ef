/* Counters of the maths-library calls made by the process, kept by the interposing
 * library MathCallCounter.c (link it before the maths library). */
#ifndef CORVANTA_BENCH_MATHCALLCOUNTER_H
#define CORVANTA_BENCH_MATHCALLCOUNTER_H

#ifdef __cplusplus
extern "C" {
#endif

/* Number of counted functions and the name of each, in a fixed order. */
int corvanta_math_function_count(void);
const char *corvanta_math_function_name(int index);
/* Calls since the last reset, per function. */
unsigned long long corvanta_math_calls(int index);
void corvanta_math_reset(void);

#ifdef __cplusplus
}
#endif

#endif /* CORVANTA_BENCH_MATHCALLCOUNTER_H */
