# The program's manifest, embedded by resource scripts (the program's own and the test programs'
# TestManifest.rc). The build cannot see the manifest inside a script, so an edited manifest
# would reach no binary until the script changed too: vandreth_manifest_depends tells the build.

set(VANDRETH_MANIFEST ${CMAKE_SOURCE_DIR}/VandrethClient/VandrethClient.manifest)
# The test programs' and the benchmark's resource script: the same manifest, so that they get
# what the client's users get (the UTF-8 code page, the themed common controls).
set(VANDRETH_TEST_MANIFEST_SCRIPT ${CMAKE_SOURCE_DIR}/tests/support/TestManifest.rc)

# The resource script `script` embeds the manifest, for each target that follows (a source
# property holds per directory, so it is set in each target's own).
function(vandreth_manifest_depends script)
  set_source_files_properties(${script} TARGET_DIRECTORY ${ARGN} PROPERTIES OBJECT_DEPENDS ${VANDRETH_MANIFEST})
endfunction()
