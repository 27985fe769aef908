// The camera library grows here: version records, API-call log, command channel, sensor.
