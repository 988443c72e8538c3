# Chooses the payload that the stub embeds: VEMSETUP_PAYLOAD when given,
# otherwise the demo payload that demo/ builds with the packer.
if(VEMSETUP_PAYLOAD)
    get_filename_component(VEMSETUP_PAYLOAD_FILE "${VEMSETUP_PAYLOAD}" ABSOLUTE)
    if(NOT EXISTS "${VEMSETUP_PAYLOAD_FILE}")
        message(FATAL_ERROR "VEMSETUP_PAYLOAD: no such file: ${VEMSETUP_PAYLOAD_FILE}")
    endif()
    set(VEMSETUP_PAYLOAD_DEPENDS "")
else()
    set(VEMSETUP_PAYLOAD_FILE "${VEMSETUP_DEMO_PAYLOAD}")
    set(VEMSETUP_PAYLOAD_DEPENDS demo_payload)
endif()
