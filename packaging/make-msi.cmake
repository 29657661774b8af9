# Builds one MSI of Tessel from tessel.wxs with Debian's wixl, the same bytes wherever and whenever it is built.
# usage: cmake -DWXS=tessel.wxs -DEXE=tessel.exe -DGUIDE=tessel-guide.html -DICON=tessel.ico -DPLATFORM=x86|x64
#              -DVERSION=1.0 -DSOURCE_DATE_EPOCH_FILE=file -DWORK_DIR=dir -DOUTPUT=tessel.msi -DWIXL=... -DMSIBUILD=...
#              -DMSIINFO=... -DOSSLSIGNCODE=... -DOPENSSL=... [signing variables of sign.cmake] -P make-msi.cmake
#
# wixl 0.101 draws the package code at random, stamps the summary with the time of the build and the cabinet
# with the local time of the files, and knows no component conditions, no File/@DefaultVersion and no
# Property/@Secure. So: wixl runs in UTC on copies dated SOURCE_DATE_EPOCH, msibuild fills in the rest with SQL,
# the summary gets SOURCE_DATE_EPOCH and a package code derived from the package's own bytes. Last, the file is
# written once more by osslsigncode's writer, signed with a throwaway key and the signature removed again: that is
# the form in which removing a real signature gives back the unsigned MSI byte for byte (docs/release.md).
foreach(variable WXS EXE GUIDE ICON PLATFORM VERSION SOURCE_DATE_EPOCH_FILE WORK_DIR OUTPUT WIXL MSIBUILD MSIINFO
                 OSSLSIGNCODE OPENSSL)
  if(NOT ${variable})
    message(FATAL_ERROR "make-msi.cmake: ${variable} is not set")
  endif()
endforeach()
# Namespace of the codes derived here; never to change: a version's product code is what admins' scripts name
# (msiexec /x {code}), and a rebuild of that version must give it again.
set(namespace D0B601F1-F9AA-409C-8F20-3DD2AA9CE1E6)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "make-msi.cmake: ${command}\n${output}")
  endif()
endfunction()

# Dates are UTC everywhere below: the cabinet's file dates and the summary's are local times to the tools.
set(ENV{TZ} UTC)
file(READ ${SOURCE_DATE_EPOCH_FILE} epoch)
string(STRIP "${epoch}" epoch)
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
string(TIMESTAMP date "%Y/%m/%d %H:%M:%S" UTC)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
# wixl wants its sources beside the package's source, by relative names.
file(COPY_FILE ${EXE} ${WORK_DIR}/tessel.exe)
file(COPY_FILE ${GUIDE} ${WORK_DIR}/tessel-guide.html)
file(COPY_FILE ${ICON} ${WORK_DIR}/tessel.ico)
run(touch -d @${epoch} tessel.exe tessel-guide.html tessel.ico)

if(PLATFORM STREQUAL "x64")
  set(arch x64)
else()
  set(arch x86)
endif()
string(UUID product_code NAMESPACE ${namespace} NAME "ProductCode ${PLATFORM} ${VERSION}" TYPE SHA1 UPPER)
run(${WIXL} -a ${arch} -D Platform=${PLATFORM} -D Version=${VERSION} -D ProductCode=${product_code}
    -o wixl.msi ${WXS})

# The file version as Windows Installer compares it: the four numbers of tessel.exe's version resource.
string(REPLACE "." ";" numbers "${VERSION}.0.0.0")
list(SUBLIST numbers 0 4 numbers)
string(REPLACE ";" "." file_version "${numbers}")
# Secure: public properties that reach the installing service of a per-machine install from the command line.
# Also: tessel.exe is a versioned file, so it has a version and language rather than a hash; the guide, which has
# no version, keeps the hash wixl gives it. Called directly, not through run(), whose list would split the SQL at
# the semicolons.
set(secure "DESKTOPSHORTCUT;INSTALLDIR;PREVIOUSDESKTOPSHORTCUT;PREVIOUSINSTALLDIR;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED")
execute_process(COMMAND ${MSIBUILD} wixl.msi
    -q "UPDATE `Component` SET `Condition` = 'DESKTOPSHORTCUT = 1 OR (NOT DESKTOPSHORTCUT AND PREVIOUSDESKTOPSHORTCUT = 1)' WHERE `Component` = 'DesktopShortcut'"
    -q "UPDATE `File` SET `Version` = '${file_version}', `Language` = '1033' WHERE `File` = 'tessel.exe'"
    -q "DELETE FROM `MsiFileHash` WHERE `File_` = 'tessel.exe'"
    -q "UPDATE `Property` SET `Value` = '${secure}' WHERE `Property` = 'SecureCustomProperties'"
  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make-msi.cmake: msibuild could not complete the tables:\n${output}")
endif()

# The summary: dates from SOURCE_DATE_EPOCH, then the package code from the package with a placeholder code.
function(set_summary package_code)
  execute_process(COMMAND ${MSIINFO} export wixl.msi _SummaryInformation WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE result OUTPUT_VARIABLE summary ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "make-msi.cmake: msiinfo export _SummaryInformation: ${error}")
  endif()
  string(REGEX REPLACE "\n9\t[^\r\n]*" "\n9\t{${package_code}}" summary "${summary}")
  string(REGEX REPLACE "\n12\t[^\r\n]*" "\n12\t${date}" summary "${summary}")
  string(REGEX REPLACE "\n13\t[^\r\n]*" "\n13\t${date}" summary "${summary}")
  file(MAKE_DIRECTORY ${WORK_DIR}/summary)
  file(WRITE ${WORK_DIR}/summary/_SummaryInformation.idt "${summary}")
  run(${MSIBUILD} wixl.msi -i summary/_SummaryInformation.idt)
endfunction()
set_summary(00000000-0000-0000-0000-000000000000)
file(SHA256 ${WORK_DIR}/wixl.msi content)
string(UUID package_code NAMESPACE ${namespace} NAME "PackageCode ${content}" TYPE SHA1 UPPER)
set_summary(${package_code})

# osslsigncode's form of the package, through a signature with a key made for this alone and thrown away.
run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Tessel throwaway key"
    -keyout throwaway.key -out throwaway.crt)
run(${OSSLSIGNCODE} sign -certs throwaway.crt -key throwaway.key -h sha256 -in wixl.msi -out throwaway.msi)
run(${OSSLSIGNCODE} remove-signature -in throwaway.msi -out unsigned.msi)
file(REMOVE ${WORK_DIR}/throwaway.key ${WORK_DIR}/throwaway.crt ${WORK_DIR}/throwaway.msi)

set(INPUT ${WORK_DIR}/unsigned.msi)
include(${CMAKE_CURRENT_LIST_DIR}/sign.cmake)
