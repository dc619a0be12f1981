// The 27 operations that talk to the box, declared once for a given link type.
// Each driver's API header expands this with its own link; the declarations are
// C++ (not extern "C") so that the exported names carry the full signature.
#pragma once

#include "tester_call.h"

#define TESTER_DECLARE_LINK_OPERATIONS(Link)                                          \
    TESTER_API int TESTER_CALL Tester_Reset(Link);                                    \
    TESTER_API int TESTER_CALL Get_ID(Link, unsigned char *);                         \
    TESTER_API int TESTER_CALL RD_RS(Link, unsigned char *);                          \
    TESTER_API int TESTER_CALL Set_SI(Link, unsigned char);                           \
    TESTER_API int TESTER_CALL Set_SO(Link, unsigned char);                           \
    TESTER_API int TESTER_CALL RD_Mod_SI(Link, unsigned char *);                      \
    TESTER_API int TESTER_CALL RD_Param_SI(Link, unsigned char *);                    \
    TESTER_API int TESTER_CALL RD_Mod_SO(Link, unsigned char *);                      \
    TESTER_API int TESTER_CALL RD_Param_SO(Link, int *);                              \
    TESTER_API int TESTER_CALL Set_SI_Mod1(Link);                                     \
    TESTER_API int TESTER_CALL Set_SI_Mod2(Link);                                     \
    TESTER_API int TESTER_CALL Set_SI_Mod3(Link, unsigned char);                      \
    TESTER_API int TESTER_CALL Set_SI_Mod4(Link, unsigned char);                      \
    TESTER_API int TESTER_CALL RD_Ivent_Flag(Link, unsigned char *);                  \
    TESTER_API int TESTER_CALL RD_Count_Ivent(Link, unsigned char *);                 \
    TESTER_API int TESTER_CALL Set_SO_Mod1(Link, int);                                \
    TESTER_API int TESTER_CALL Set_SO_Mod2(Link, int);                                \
    TESTER_API int TESTER_CALL SSI(Link);                                             \
    TESTER_API int TESTER_CALL SSO(Link);                                             \
    TESTER_API int TESTER_CALL RD_Count_SI(Link, int *);                              \
    TESTER_API int TESTER_CALL RD_Count_SO(Link, int *);                              \
    TESTER_API int TESTER_CALL Get_ArincWordSI(Link, unsigned char, unsigned long *); \
    TESTER_API int TESTER_CALL Get_ArincWordSO(Link, unsigned char, unsigned long *); \
    TESTER_API int TESTER_CALL Put_ArincWordSI(Link, unsigned char, unsigned long);   \
    TESTER_API int TESTER_CALL Put_ArincWordSO(Link, unsigned char, unsigned long);   \
    TESTER_API int TESTER_CALL RD_Timer(Link, unsigned long *);                       \
    TESTER_API int TESTER_CALL WR_Timer_Param(Link, unsigned char);

// Writes the driver's three-character version and a zero: 4 bytes in all.
TESTER_API void TESTER_CALL version_Velmora_DLL(char *);
