# Installation: the library, its public header, the corvanta-sim runner and the CMake and
# pkg-config packages that hosts build against.
#
#   P/bin/corvanta-sim                       (RPATH $ORIGIN/../lib)
#   P/lib/libcorvanta.so*                    (Windows: P/bin/Corvanta.dll, P/lib/libCorvanta.dll.a)
#   P/lib/libcorvanta_engine.so*             the scenario engine (Windows: P/bin/corvanta_engine.dll)
#   P/include/corvanta.h, corvanta_engine.h, corvanta_sweep.h
#   P/lib/cmake/Corvanta/CorvantaConfig.cmake, CorvantaConfigVersion.cmake, CorvantaTargets*.cmake
#   P/lib/pkgconfig/corvanta.pc
#
# Every path in the packages is relative to the prefix, so that `cmake --install --prefix`
# may choose it at install time.
include(CMakePackageConfigHelpers)

# Plain lib, whatever GNUInstallDirs picked (lib64, lib/<multiarch>): the runner, the
# packages and the hosts all look in <prefix>/lib.
set(CMAKE_INSTALL_LIBDIR lib)
set(CORVANTA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Corvanta)

install(TARGETS corvanta
  EXPORT CorvantaTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

if(TARGET corvanta_engine)
  install(TARGETS corvanta_engine
    EXPORT CorvantaTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()

if(TARGET corvanta_vehicle)
  # The vehicle library (signals, state, parameter sets); the runner links it.
  install(TARGETS corvanta_vehicle
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()

if(TARGET corvanta-sim)
  install(TARGETS corvanta-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT CorvantaTargets
  NAMESPACE Corvanta::
  FILE CorvantaTargets.cmake
  DESTINATION ${CORVANTA_INSTALL_CMAKEDIR})

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/CorvantaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/CorvantaConfig.cmake
  INSTALL_DESTINATION ${CORVANTA_INSTALL_CMAKEDIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/CorvantaConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/CorvantaConfig.cmake
  ${PROJECT_BINARY_DIR}/CorvantaConfigVersion.cmake
  DESTINATION ${CORVANTA_INSTALL_CMAKEDIR})

# pkg-config: the library's link name is its output name (Corvanta on Windows).
get_target_property(CORVANTA_PC_LIBRARY_NAME corvanta OUTPUT_NAME)
if(NOT CORVANTA_PC_LIBRARY_NAME)
  set(CORVANTA_PC_LIBRARY_NAME corvanta)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/corvanta.pc.in ${PROJECT_BINARY_DIR}/corvanta.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/corvanta.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
