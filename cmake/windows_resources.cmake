# deltrix_windows_resources(TARGET DESCRIPTION text [ICON file]): gives a Windows program its
# version information (the project's version; shown in the file's properties) and, when named,
# the program icon, through a resource script generated into the build folder.
function(deltrix_windows_resources target)
  cmake_parse_arguments(R "" "DESCRIPTION;ICON" "" ${ARGN})
  enable_language(RC)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(icon "")
  if(R_ICON)
    set(icon "1 ICON \"${R_ICON}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  file(GENERATE OUTPUT ${rc} CONTENT "#include <winver.h>
${icon}
VS_VERSION_INFO VERSIONINFO
FILEVERSION ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0
PRODUCTVERSION ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0
FILEFLAGSMASK VS_FFI_FILEFLAGSMASK
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
BEGIN
  BLOCK \"StringFileInfo\"
  BEGIN
    BLOCK \"040904B0\"
    BEGIN
      VALUE \"FileDescription\", \"${R_DESCRIPTION}\"
      VALUE \"FileVersion\", \"${PROJECT_VERSION}\"
      VALUE \"InternalName\", \"${name}\"
      VALUE \"OriginalFilename\", \"${name}.exe\"
      VALUE \"ProductName\", \"Deltrix Library Creator\"
      VALUE \"ProductVersion\", \"${PROJECT_VERSION}\"
    END
  END
  BLOCK \"VarFileInfo\"
  BEGIN
    VALUE \"Translation\", 0x0409, 1200
  END
END
")
  target_sources(${target} PRIVATE ${rc})
endfunction()
