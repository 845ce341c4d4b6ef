# Installs the browser tests' npm packages exactly as web/package-lock.json pins them, in a
# folder of the build tree (the source tree keeps no node_modules).
#
#   cmake -DNPM=... -DSOURCE_DIR=<repository>/web -DOUTPUT_DIR=... -P NpmCi.cmake
cmake_minimum_required(VERSION 3.16)
file(MAKE_DIRECTORY "${OUTPUT_DIR}")
file(COPY "${SOURCE_DIR}/package.json" "${SOURCE_DIR}/package-lock.json" DESTINATION "${OUTPUT_DIR}")
execute_process(COMMAND "${NPM}" ci --no-audit --no-fund --loglevel=error WORKING_DIRECTORY "${OUTPUT_DIR}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "npm ci in ${OUTPUT_DIR} failed (${status}): the browser tests need the npm registry (or its cache) for puppeteer-core")
endif()
