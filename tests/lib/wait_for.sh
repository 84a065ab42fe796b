# Polls a command until it succeeds, for at most $1 seconds. Sourced by the
# end-to-end scripts: they wait on conditions, never on a fixed time.
wait_for() {
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.05
    done
}
