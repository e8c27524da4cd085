// scanStart: global types
typedef enum
{
  PAR_A = 0x10, // 131.2; first
  PAR_B = PAR_A << 2,
  GLB_C = (PAR_B + 3) * 2u, /* 141.7 * n */
  NUM_X
} tSymbols;
// scanEnd
