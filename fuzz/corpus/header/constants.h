// scanStart: global constants
#define FIRST_ALARM 4096
#define LAST_ALARM (FIRST_ALARM + 0x7F)
#define APPL_DEVELOPER_NO 1042
#define LONG_ONE 1 + \
   2
#define CAST ((u16)-1)
#define PICK (CAST > 3 ? 010 : ~0)
// scanEnd
