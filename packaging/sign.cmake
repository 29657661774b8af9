# Copies INPUT to OUTPUT, signed with Authenticode (SHA-256) by osslsigncode when PKCS12 names a code-signing certificate.
# usage: cmake -DINPUT=file -DOUTPUT=file -DOSSLSIGNCODE=path [-DPKCS12=cert.p12 [-DPASSWORD_FILE=file]
#              [-DTIMESTAMP_URL=url]] [-DSIGNATURE=file] -P sign.cmake
# Also included by make-msi.cmake with the same variables set. Works for PE files (tessel.exe) and MSIs.
# Without a time stamp a signature stays valid only while the certificate does; TIMESTAMP_URL names an RFC 3161
# time-stamping server that vouches for the signing time, so that it stays valid after the certificate expires.
# SIGNATURE instead names a signature taken from a signed release (osslsigncode extract-signature): it is attached
# as it is, which gives the released file byte for byte if INPUT is the file that was signed, and fails if not.
foreach(variable INPUT OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "sign.cmake: ${variable} is not set")
  endif()
endforeach()

file(REMOVE ${OUTPUT})
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
if(NOT PKCS12 AND NOT SIGNATURE)
  file(COPY_FILE ${INPUT} ${OUTPUT})
  return()
endif()

if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "sign.cmake: osslsigncode is needed to sign ${INPUT} (scripts/setup.sh package installs it)")
endif()
if(SIGNATURE)
  if(NOT EXISTS ${SIGNATURE})
    message(FATAL_ERROR "sign.cmake: no signature ${SIGNATURE} to attach to ${INPUT}")
  endif()
  # osslsigncode also fails when this machine's CAs do not vouch for the signer, which is not the question here;
  # whether the signature is one of this very file its digests say, marked MISMATCH!!! where they differ. Only
  # the digests: Debian 12's osslsigncode (2.5) also marks the PE checksum, which it reads before it updates it.
  execute_process(COMMAND ${OSSLSIGNCODE} attach-signature -sigin ${SIGNATURE} -in ${INPUT} -out ${OUTPUT}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT EXISTS ${OUTPUT} OR output MATCHES "(digest|DigitalSignature)[^\n]*MISMATCH!!!"
     OR NOT output MATCHES "Calculated")
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "sign.cmake: ${SIGNATURE} is no signature of ${INPUT} as built here:\n${output}")
  endif()
  return()
endif()
if(NOT EXISTS ${PKCS12})
  message(FATAL_ERROR "sign.cmake: no certificate file ${PKCS12}")
endif()
set(arguments sign -pkcs12 ${PKCS12})
# The password comes from a file, never from the command line, where other users could read it.
if(PASSWORD_FILE)
  list(APPEND arguments -readpass ${PASSWORD_FILE})
endif()
list(APPEND arguments -h sha256 -n "Tessel C-Language Simulator")
if(TIMESTAMP_URL)
  list(APPEND arguments -ts ${TIMESTAMP_URL})
endif()
execute_process(COMMAND ${OSSLSIGNCODE} ${arguments} -in ${INPUT} -out ${OUTPUT}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "sign.cmake: osslsigncode could not sign ${INPUT}:\n${output}")
endif()
