# PreludeSplash: splash.dll as imported targets, from the unpacked kit.
#   PreludeSplash::splash   the DLL with its import library and header
#   PreludeSplash::headers  the header alone, for loading the DLL at run time
# $<TARGET_RUNTIME_DLLS:game> lists splash.dll for a game linked to the first.
get_filename_component(_prelude_splash_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

if(NOT TARGET PreludeSplash::headers)
  add_library(PreludeSplash::headers INTERFACE IMPORTED)
  set_target_properties(PreludeSplash::headers PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_prelude_splash_root}/include")
endif()

if(NOT TARGET PreludeSplash::splash)
  # GNU ld reads either import library; MSVC-style linkers only splash.lib.
  if(MINGW)
    set(_prelude_splash_implib "${_prelude_splash_root}/lib/libsplash.dll.a")
  else()
    set(_prelude_splash_implib "${_prelude_splash_root}/lib/splash.lib")
  endif()
  add_library(PreludeSplash::splash SHARED IMPORTED)
  set_target_properties(PreludeSplash::splash PROPERTIES
    IMPORTED_LOCATION "${_prelude_splash_root}/bin/splash.dll"
    IMPORTED_IMPLIB "${_prelude_splash_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_prelude_splash_root}/include"
    INTERFACE_COMPILE_DEFINITIONS PRELUDE_SPLASH_DLLIMPORT)
  unset(_prelude_splash_implib)
endif()

unset(_prelude_splash_root)
